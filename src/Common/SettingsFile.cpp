#include "SettingsFile.h"

#include <QDebug>
#include <QFile>

#include <new>

bool SettingsFile::read(const QString &fileName, QSettings::Format format, const Work &work)
{
    try {
        QSettings settings(fileName, format);
        work(settings);
        return true;
    } catch (const std::bad_alloc &) {
        qWarning().noquote().nospace() << "[SettingsFile] WARN: Cannot decode the settings file " << fileName;
        return false;
    }
}

void SettingsFile::write(const QString &fileName, QSettings::Format format, const Work &work)
{
    if (read(fileName, format, work))
        return;

    const QString damaged = damagedName(fileName);
    QFile::remove(damaged);
    if (!QFile::rename(fileName, damaged)) {
        qWarning().noquote().nospace() << "[SettingsFile] WARN: Cannot move the damaged settings file " << fileName
                                       << " aside; it stays as it is";
        return;
    }
    qWarning().noquote().nospace() << "[SettingsFile] WARN: Damaged settings file kept as " << damaged;
    read(fileName, format, work);
}

QString SettingsFile::damagedName(const QString &fileName)
{
    return fileName + QStringLiteral(".damaged");
}
