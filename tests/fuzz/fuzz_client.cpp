#include LTXG_FUZZ_HEADER
#include "ServiceClientTarget.h"

// One target per service client; CMake names the client, its service base
// and, where they differ, the base of its topics.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzz::serviceClient<manager::LTXG_FUZZ_CLIENT>(data, size, QStringLiteral(LTXG_FUZZ_BASE),
                                                          QStringLiteral(LTXG_FUZZ_TOPICS));
}
