#include "Config.h"
#include "FuzzDriver.h"
#include "GUIManager.h"

#include <QColor>

// The settings file as the program reads it at start-up and after an outside
// edit, and the values as the GUI manager reads them.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::init();
    {
        Config config(fuzz::writeFile(QStringLiteral("gui.conf"), data, size), GUIManager::Defaults);
        for (const QString &key : config.keys()) {
            const QVariant value = config.get(key);
            (void)value.toString();
            (void)value.toInt();
            (void)value.toUInt();
            (void)value.toBool();
        }
        (void)QColor(config.get(QStringLiteral("gui/screenSaverBg")).toString());
        config.print();
        config.fromJson(config.toJson());
    }
    fuzz::settle();
    return 0;
}
