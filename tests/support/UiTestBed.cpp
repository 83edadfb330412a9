#include "UiTestBed.h"

#include "QuickItems.h"
#include "Resources.h"
#include "logger.h"

#include <QQuickItem>
#include <QtTest>

void UiTestBed::initTestCase()
{
    Resources::init();
    QCoreApplication::setApplicationName(QStringLiteral("LTXGTerminalUI"));
    QCoreApplication::setApplicationVersion(QStringLiteral("050fccb"));
    manager::Logger::instance();
}

bool UiTestBed::start(const std::function<void(GUIManager &)> &beforeLoad, const std::function<bool()> &beforeManager)
{
    dir = std::make_unique<QTemporaryDir>();
    QFile serial(dir->filePath(QStringLiteral("serialnumber")));
    if (!dir->isValid() || !serial.open(QIODevice::WriteOnly) || serial.write("C12345678\n") < 0)
        return false;
    serial.close();

    broker = std::make_unique<MosquittoBroker>();
    if (!broker->start()) {
        qWarning().noquote() << broker->log();
        return false;
    }
    peer = std::make_unique<MqttPeer>();
    if (!peer->connectToBroker(broker->host(), broker->port()) || !peer->subscribe(QStringLiteral("kivo/#")))
        return false;

    config = std::make_unique<Config>(dir->filePath(QStringLiteral("gui.conf")), GUIManager::Defaults);
    const QVariantMap settings{{"log/syslog", false},
                               {"log/stderr", false},
                               {"mqtt/host", broker->host()},
                               {"mqtt/port", int(broker->port())},
                               {"gui/deviceId", serial.fileName()},
                               {"gui/locale", "en_US"}};
    for (auto it = settings.cbegin(); it != settings.cend(); ++it)
        config->set(it.key(), it.value());
    log = std::make_unique<LogRecorder>();
    if (beforeManager && !beforeManager())
        return false;

    gui = std::make_unique<GUIManager>(*config, dir->filePath(QStringLiteral("events.ini")));
    if (beforeLoad)
        beforeLoad(*gui);
    gui->load();
    window = qobject_cast<QQuickWindow *>(gui->parent());
    return window && QTest::qWaitForWindowExposed(window);
}

QStringList UiTestBed::stop()
{
    window = nullptr;
    gui.reset();
    const QStringList problems = log ? qmlProblems() : QStringList();
    log.reset();
    config.reset();
    peer.reset();
    broker.reset();
    dir.reset();
    return problems;
}

QStringList UiTestBed::qmlProblems() const
{
    QStringList problems;
    for (QtMsgType type : {QtWarningMsg, QtCriticalMsg, QtFatalMsg}) {
        const QStringList lines = log->lines(type);
        for (const QString &line : lines) {
            // Only the first engine of a process can set the style; the
            // program has one, a test program many.
            if (line.contains(QLatin1String("qml"), Qt::CaseInsensitive)
                && !line.contains(QLatin1String("QQuickStyle::setStyle()")))
                problems << line;
        }
    }
    return problems;
}

QObject *UiTestBed::find(const QString &name) const
{
    return findNamed(window, name);
}

QQuickItem *UiTestBed::item(const QString &name) const
{
    return qobject_cast<QQuickItem *>(find(name));
}
