#include "FuzzDriver.h"
#include "Transaction.h"

// The validation service's result as the validation client hands it on.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::init();
    const Transaction transaction(fuzz::jsonObject(data, size));
    fuzz::readProperties(&transaction);
    const Transaction copy(transaction);
    (void)copy.toMap();
    (void)Transaction::convertTimestamp(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)));
    return 0;
}
