#include "SettingsFile.h"

#include <QDebug>
#include <QFile>

#include <new>
#include <unistd.h>

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

bool SettingsFile::write(const QString &fileName, QSettings::Format format, const Work &work)
{
    bool written = false;
    const Work writing = [&work, &written](QSettings &settings) {
        work(settings);
        settings.sync();
        written = settings.status() == QSettings::NoError;
    };
    if (!read(fileName, format, writing) && setAside(fileName))
        read(fileName, format, writing);
    return written;
}

bool SettingsFile::setAside(const QString &fileName)
{
    const QString damaged = damagedName(fileName);
    QFile::remove(damaged);
    if (!QFile::rename(fileName, damaged)) {
        qWarning().noquote().nospace() << "[SettingsFile] WARN: Cannot move the damaged settings file " << fileName
                                       << " aside; it stays as it is";
        return false;
    }
    qWarning().noquote().nospace() << "[SettingsFile] WARN: Damaged settings file kept as " << damaged;
    return true;
}

bool SettingsFile::replace(const QString &fileName, QSettings::Format format, const Work &work)
{
    const QString fresh = fileName + QStringLiteral(".new");
    QFile::remove(fresh);
    bool written = false;
    {
        QSettings settings(fresh, format);
        work(settings);
        settings.sync();
        written = settings.status() == QSettings::NoError;
    }
    // On disk before it takes the old file's place: the terminal's power
    // may go soon after.
    QFile file(fresh);
    if (!written || !file.open(QIODevice::ReadWrite) || ::fsync(file.handle()) != 0) {
        QFile::remove(fresh);
        return false;
    }
    file.close();
    if (::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(fileName).constData()) != 0) {
        QFile::remove(fresh);
        return false;
    }
    return true;
}

QString SettingsFile::damagedName(const QString &fileName)
{
    return fileName + QStringLiteral(".damaged");
}
