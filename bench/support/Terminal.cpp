#include "Terminal.h"

#include "Config.h"
#include "Resources.h"
#include "logger.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>

namespace bench {

void defaultToOffscreen()
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", QByteArrayLiteral("software"));
}

void actAsProgram()
{
    QCoreApplication::setApplicationName(QStringLiteral("LTXGTerminalUI"));
    QCoreApplication::setApplicationVersion(QStringLiteral("bench"));
    Resources::init();
}

bool prepareTerminal(const QString &folder, Config &config, const QString &brokerHost, quint16 brokerPort)
{
    QFile serial(QDir(folder).filePath(QStringLiteral("serialnumber")));
    if (!serial.open(QIODevice::WriteOnly) || serial.write("K00000042\n") < 0)
        return false;
    serial.close();
    manager::Logger::instance();
    config.set(QStringLiteral("log/syslog"), false);
    config.set(QStringLiteral("log/stderr"), false);
    config.set(QStringLiteral("mqtt/host"), brokerHost);
    config.set(QStringLiteral("mqtt/port"), int(brokerPort));
    config.set(QStringLiteral("gui/deviceId"), serial.fileName());
    return true;
}

void writeEventLog(const QString &file, int count)
{
    QSettings settings(file, QSettings::IniFormat);
    settings.beginWriteArray(QStringLiteral("events"), count);
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("category"), QStringLiteral("Board"));
        settings.setValue(QStringLiteral("name"), i % 2 ? QStringLiteral("Ignition on") : QStringLiteral("Ignition off"));
        settings.setValue(QStringLiteral("desc"), QString());
        settings.setValue(QStringLiteral("timestamp"), now.addSecs(i - count));
    }
    settings.endArray();
}

} // namespace bench
