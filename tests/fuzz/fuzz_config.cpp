#include "Config.h"
#include "FuzzDriver.h"
#include "GUIManager.h"

// A configuration as the validation service or the UI's own "config/set"
// topic delivers it, applied to a store holding every default.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::init();
    const QJsonObject object = fuzz::jsonObject(data, size);
    {
        Config config(fuzz::writeFile(QStringLiteral("gui.conf"), nullptr, 0), GUIManager::Defaults);
        config.fromJson(object);
        (void)config.toJson();
        config.print();
    }
    fuzz::settle();
    return 0;
}
