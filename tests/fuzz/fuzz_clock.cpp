#include "Clock.h"
#include "ServiceClientTarget.h"

// The clock client runs timedatectl when it is made and whenever its time
// zone is read, none of which the messages touch: one client serves the whole
// run, so that the time goes into the message handler.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::init();
    static manager::MqttClient mqtt;
    static manager::Clock clock(mqtt, QStringLiteral("kivo/device"));
    fuzz::deliver(mqtt, data, size, QStringLiteral("kivo/device"));
    (void)clock.ntpServer();
    (void)clock.ntpEnabled();
    (void)clock.ntpSynced();
    return 0;
}
