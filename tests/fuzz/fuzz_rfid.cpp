#include "RFID.h"
#include "ServiceClientTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzz::serviceClient<manager::RFID>(data, size, QStringLiteral("kivo/rfid"));
}
