#include "Dispenser.h"
#include "ServiceClientTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzz::serviceClient<manager::Dispenser>(data, size, QStringLiteral("kivo/dispenser"));
}
