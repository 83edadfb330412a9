#include "Config.h"
#include "Event.h"
#include "EventManager.h"
#include "FuzzDriver.h"
#include "GUIManager.h"

// The event-log file as the program loads it at start-up, then shown,
// filtered, added to and saved.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::init();
    static Config config(fuzz::scratchPath(QStringLiteral("eventlog-gui.conf")), GUIManager::Defaults);
    {
        EventManager events(config, fuzz::writeFile(QStringLiteral("events.ini"), data, size));
        fuzz::readProperties(&events);
        events.applyFilterPeriod(QStringLiteral("Last hour"));
        events.applyFilter(QStringLiteral("Login"));
        events.push(new Event(QStringLiteral("Maintenance"), QStringLiteral("Login"), QStringLiteral("PIN"),
                              QDateTime::currentDateTime()));
        fuzz::readProperties(&events);
    }
    fuzz::settle();
    return 0;
}
