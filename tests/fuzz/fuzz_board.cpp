#include "Board.h"
#include "ServiceClientTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzz::serviceClient<manager::Board>(data, size, QStringLiteral("kivo/board"));
}
