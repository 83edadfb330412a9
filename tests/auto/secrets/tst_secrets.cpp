#include "Config.h"
#include "GUIManager.h"
#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "ProgramProcess.h"
#include "logger.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

namespace {

const QByteArray MqttUser = "terminal";
const QByteArray MqttPassword = "mqttPw7351Zq";
const QByteArray Pin = "73950286";
const QByteArray NewPin = "61840397";
const QByteArray WrongPin = "24681357";
const QByteArray ObuPassword = "obuPw4417Xy";

} // namespace

// At the most talkative log level, neither standard error nor the system log
// may show the broker password, the maintenance PIN or the OBU password.
class tst_Secrets : public QObject
{
    Q_OBJECT

    MosquittoBroker m_broker;
    MqttPeer m_peer;
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QByteArray settings() const
    {
        return "[log]\nlevel=4\nstderr=true\nsyslog=true\n[mqtt]\nhost=" + m_broker.host().toUtf8()
            + "\nport=" + QByteArray::number(m_broker.port()) + "\nusername=" + MqttUser + "\npassword=" + MqttPassword
            + "\n[gui]\nlocale=en_US\nsettingsPin=" + Pin + "\ndeviceId=" + path("serialnumber").toUtf8() + "\n";
    }

    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void verifyNoSecret(const QByteArray &log, const char *where)
    {
        for (const QByteArray &secret : { MqttPassword, Pin, NewPin, WrongPin, ObuPassword }) {
            const int at = log.indexOf(secret);
            QVERIFY2(at < 0, qPrintable(QString("%1 shows %2:\n%3")
                                            .arg(where, QString::fromUtf8(secret),
                                                 QString::fromUtf8(log.mid(qMax(at - 300, 0), 400)))));
        }
    }

private slots:
    void initTestCase()
    {
        m_broker.setCredentials(MqttUser, MqttPassword);
        QVERIFY2(m_broker.start(), qPrintable(m_broker.log()));
        m_peer.setCredentials(MqttUser, MqttPassword);
        QVERIFY(m_peer.connectToBroker(m_broker.host(), m_broker.port(), "secrets-peer"));
        QVERIFY(m_peer.subscribe("kivo/ui/config"));
        QVERIFY(ProgramProcess::writeFile(path("serialnumber"), "K00000042\n"));
        qputenv("LTXG_SYSLOG_FILE", path("syslog").toUtf8());
    }

    void program()
    {
        QVERIFY(ProgramProcess::writeFile(path("gui.conf"), settings()));
        QFile::remove(path("syslog"));
        ProgramProcess ui(QStringLiteral(LTXG_BINARY));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Beside what the tests already preload (under emulation).
        environment.insert("LD_PRELOAD", QString(environment.value("LD_PRELOAD") + ' ' + LTXG_SYSLOG_CAPTURE).trimmed());
        // In a sanitizer build the runtime would refuse to come second.
        environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        ui.setEnvironment(environment);
        QVERIFY(ui.start(m_dir.path(), { "--verbose", "4" }));
        QVERIFY2(ui.waitForLine("[GUIManager] Connected to MQTT broker") >= 0, qPrintable(ui.output()));

        // The validation service's configuration, and a maintenance barcode
        // with the OBU URL (ignored outside a session, but received).
        QVERIFY2(ui.publishUntil(m_peer, "kivo/blm/config",
                              "{\"blm\": {\"obu_host\": \"10.0.0.1\", \"obu_port\": \"1883\", \"obu_username\": \"obu\", "
                              "\"obu_password\": \"" + ObuPassword + "\"}, \"validator\": {\"passbackTime\": \"30\"}}",
                              "[LTXGTerminal] OBU URL         : mqtt://obu@10.0.0.1:1883"),
                 qPrintable(ui.output()));
        QVERIFY2(ui.publishUntil(m_peer, "kivo/blm/barcode/maintenance/scanned",
                              "{\"validator\": {\"obc\": \"mqtt://obu:" + ObuPassword + "@10.0.0.2:1883\"}}",
                              "[GUIManager] WARN: Maintenance session is not active. Ignoring."),
                 qPrintable(ui.output()));
        // A remote tool reads the settings and sets a new PIN.
        QVERIFY2(ui.publishUntil(m_peer, "kivo/ui/config/get", "{}", "Publishing to topic 'kivo/ui/config'"),
                 qPrintable(ui.output()));
        QVERIFY2(ui.publishUntil(m_peer, "kivo/ui/config/set", "{\"gui\": {\"settingsPin\": \"" + NewPin + "\"}}",
                              "[GUIManager] Config changed : "),
                 qPrintable(ui.output()));
        // The settings file edited on the device: the settings are listed again.
        const int from = ui.lines().size();
        QVERIFY(ProgramProcess::writeFile(path("gui.conf"), settings() + "showCursor=false\n"));
        const int changed = ui.waitForLine("[GUIManager] WARN: Configuration file changed!", from);
        QVERIFY2(changed >= 0, qPrintable(ui.output()));
        QVERIFY2(ui.waitForLine("[Config]  SETTINGS (", changed) >= 0, qPrintable(ui.output()));
        QVERIFY2(ui.waitForLine("[Config]  mqtt/password", changed) >= 0, qPrintable(ui.output()));
        ui.stop();

        const QByteArray stderrLog = ui.lines().join('\n').toUtf8();
        const QByteArray syslog = readFile(path("syslog"));
        // Payloads were logged (debug level), and the system log got them too.
        QVERIFY(stderrLog.contains("Received on topic: kivo/blm/config"));
        QVERIFY2(syslog.contains("[debug] [MqttClient] Received on topic: kivo/blm/config"), syslog.right(2000));
        verifyNoSecret(stderrLog, "standard error");
        verifyNoSecret(syslog, "the system log");
        // Nor does any client of the broker.
        QByteArray published;
        for (const MqttPeer::Message &message : m_peer.messages())
            published += message.payload;
        QVERIFY(published.contains("********"));
        verifyNoSecret(published, "the published configuration");
    }

    void login()
    {
        // The PIN page is only reachable by touch: the same manager, in here.
        QVERIFY(ProgramProcess::writeFile(path("gui.conf"), settings()));
        QFile::remove(path("syslog"));
        QFile captured(path("stderr"));
        QVERIFY(captured.open(QIODevice::WriteOnly));
        fflush(stderr);
        const int savedStderr = ::dup(STDERR_FILENO);
        ::dup2(captured.handle(), STDERR_FILENO);
        {
            manager::Logger::instance();
            Config config(path("gui.conf"), GUIManager::Defaults);
            GUIManager gui(config, path("events.ini"));
            QSignalSpy denied(&gui, &GUIManager::settingsAccessDenied);
            QSignalSpy granted(&gui, &GUIManager::settingsAccessGranted);
            gui.settingsLoginRequest(QString::fromUtf8(WrongPin));
            gui.settingsLoginRequest(QString::fromUtf8(Pin));
            QCOMPARE(denied.count(), 1);
            QCOMPARE(granted.count(), 1);
            gui.settingsLogoutRequest();
        }
        manager::Logger::instance()->setStderr(false);
        fflush(stderr);
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);

        const QByteArray stderrLog = readFile(path("stderr"));
        const QByteArray syslog = readFile(path("syslog"));
        QVERIFY2(stderrLog.contains("[SessionManager] Entered PIN    : ********"), stderrLog.right(2000));
        QVERIFY2(stderrLog.contains("[SessionManager] WARN: User entered wrong pin"), stderrLog.right(2000));
        QVERIFY2(syslog.contains("[SessionManager] User logged-in : KIVO, Admin"), syslog.right(2000));
        verifyNoSecret(stderrLog, "standard error");
        verifyNoSecret(syslog, "the system log");
    }
};

QTEST_MAIN(tst_Secrets)
#include "tst_secrets.moc"
