// Writes the settings file the package ships: every key at its default, in
// the form the program itself writes on its first start.

#include "GUIManager.h"

#include <QFile>
#include <QSettings>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <gui.conf>\n", argv[0]);
        return 2;
    }

    const QString fileName = QFile::decodeName(argv[1]);
    // A stale file could keep keys that are no longer defaults.
    QFile::remove(fileName);
    QSettings settings(fileName, QSettings::NativeFormat);
    for (auto it = GUIManager::Defaults.constBegin(); it != GUIManager::Defaults.constEnd(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
