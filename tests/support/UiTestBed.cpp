#include "UiTestBed.h"

#include "QuickItems.h"
#include "Resources.h"
#include "logger.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QRegularExpression>
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
    if (!dir->isValid() || !serial.open(QIODevice::WriteOnly) || serial.write("C12345678\n") < 0 || !serial.flush())
        return false;
    broker = std::make_unique<MosquittoBroker>();
    if (!broker->start()) {
        qWarning().noquote() << broker->log();
        return false;
    }
    peer = std::make_unique<MqttPeer>();
    if (!peer->connectToBroker(broker->host(), broker->port()) || !peer->subscribe(QStringLiteral("kivo/#")))
        return false;

    config = std::make_unique<Config>(dir->filePath(QStringLiteral("gui.conf")), GUIManager::Defaults);
    for (const auto &[key, value] : {std::pair<QString, QVariant>{"log/syslog", false}, {"log/stderr", false},
                                     {"mqtt/host", broker->host()}, {"mqtt/port", int(broker->port())},
                                     {"gui/deviceId", serial.fileName()}, {"gui/locale", "en_US"}})
        config->set(key, value);
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
    // Only the first engine of a process can set the style; the program has
    // one, a test program many.
    const QRegularExpression qml("^(?!.*QQuickStyle::setStyle).*qml",
                                 QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QStringList lines = log ? log->lines(QtWarningMsg) + log->lines(QtCriticalMsg) : QStringList();
    const QStringList problems = lines.filter(qml);
    log.reset();
    config.reset();
    peer.reset();
    broker.reset();
    dir.reset();
    return problems;
}

QObject *UiTestBed::find(const QString &name) const
{
    QObject *found = window;
    for (const QString &part : name.split('/'))
        found = findNamed(found, part);
    return found;
}

QObject *UiTestBed::context(const QString &name) const
{
    return qmlEngine(window)->rootContext()->contextProperty(name).value<QObject *>();
}

QVariant UiTestBed::value(const QString &path) const
{
    const QStringList parts = path.split('.');
    QObject *object = context(parts[0]);
    QVariant result = QVariant::fromValue(object ? object : find(parts[0]));
    for (const QString &part : parts.mid(1)) {
        if (!(object = result.value<QObject *>()))
            return QStringLiteral("(no %1 in %2)").arg(part, path);
        result = object->property(qPrintable(part));
    }
    return result;
}

bool UiTestBed::tap(const QString &name, qreal at) const
{
    return tapNamed(window, name, at);
}

bool UiTestBed::act(const QString &step) const
{
    if (step.startsWith(QLatin1String("kivo/")))
        return peer->publish(step.section(' ', 0, 0), step.section(' ', 1).toUtf8());
    const int equals = step.indexOf('='), call = step.indexOf('(');
    if (equals < 0 && call < 0)
        return tap(step.section('@', 0, 0), step.contains('@') ? step.section('@', 1).toDouble() : 0.5);
    const int dot = step.lastIndexOf('.', equals < 0 ? call : equals);
    QObject *object = nullptr;
    if (!QTest::qWaitFor([&] { return (object = value(step.left(dot)).value<QObject *>()); }, 30000))
        return false;
    if (equals > 0)
        return object->setProperty(qPrintable(step.mid(dot + 1, equals - dot - 1)), step.mid(equals + 1));
    const QString argument = step.mid(call + 1, step.size() - call - 2);
    const QByteArray method = step.mid(dot + 1, call - dot - 1).toUtf8();
    return argument.isEmpty() ? QMetaObject::invokeMethod(object, method)
                              : QMetaObject::invokeMethod(object, method, Q_ARG(QVariant, argument));
}

void UiTestBed::walk(const QList<QStringList> &rows) const
{
    // Compared as compact text (keys sorted), which a failure shows.
    const auto json = [](const QByteArray &text) {
        return QJsonDocument(QJsonDocument::fromJson(text).object()).toJson(QJsonDocument::Compact);
    };
    for (const QStringList &row : rows) {
        const QString target = row[row.size() - 2];
        peer->clear();
        for (const QString &step : row.mid(0, row.size() - 2))
            QVERIFY2(act(step), qPrintable(step));
        if (!target.startsWith(QLatin1String("kivo/"))) {
            QTRY_COMPARE_WITH_TIMEOUT(value(target).toString(), row.last(), 30000);
            continue;
        }
        const auto message = peer->waitForMessage(target);
        QVERIFY2(message, qPrintable(target));
        if (!row.last().isEmpty())
            QCOMPARE(json(message->payload), json(row.last().toUtf8()));
    }
}
