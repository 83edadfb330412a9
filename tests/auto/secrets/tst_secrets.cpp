#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "ProgramProcess.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray MqttUser = "terminal";
const QByteArray MqttPassword = "mqttPw7351Zq";
const QByteArray Pin = "73950286";
const QByteArray NewPin = "61840397";
const QByteArray ObuPassword = "obuPw4417Xy";

void verifyNoSecret(const QByteArray &text, const char *where)
{
    for (const QByteArray &secret : { MqttPassword, Pin, NewPin, ObuPassword })
        QVERIFY2(!text.contains(secret), qPrintable(QString("%1 shows %2").arg(where, QString::fromUtf8(secret))));
}

} // namespace

// At the most talkative log level, the program's log must not show the broker
// password, the maintenance PIN or the OBU password, and no client of the
// broker may see them. (The system log gets the very lines of the log.)
class tst_Secrets : public QObject
{
    Q_OBJECT

private slots:
    void program()
    {
        MosquittoBroker broker;
        broker.setCredentials(MqttUser, MqttPassword);
        QVERIFY2(broker.start(), qPrintable(broker.log()));
        MqttPeer peer;
        peer.setCredentials(MqttUser, MqttPassword);
        QVERIFY(peer.connectToBroker(broker.host(), broker.port(), "secrets-peer"));
        QVERIFY(peer.subscribe("kivo/ui/+"));
        QTemporaryDir dir;
        QVERIFY(ProgramProcess::writeFile(dir.filePath("serialnumber"), "K00000042\n"));
        const QByteArray settings = "[log]\nlevel=4\nstderr=true\nsyslog=false\n[mqtt]\nhost=" + broker.host().toUtf8()
            + "\nport=" + QByteArray::number(broker.port()) + "\nusername=" + MqttUser + "\npassword=" + MqttPassword
            + "\n[gui]\nlocale=en_US\nsettingsPin=" + Pin + "\ndeviceId=" + dir.filePath("serialnumber").toUtf8() + "\n";
        QVERIFY(ProgramProcess::writeFile(dir.filePath("gui.conf"), settings));
        ProgramProcess ui(QStringLiteral(LTXG_BINARY));
        QVERIFY(ui.start(dir.path(), { "--verbose", "4" }));
        QVERIFY2(ui.waitForLine("[GUIManager] Connected to MQTT broker") >= 0, qPrintable(ui.output()));

        // The validation service's configuration, and a maintenance barcode
        // with the OBU URL (ignored outside a session, but received).
        QVERIFY2(ui.publishUntil(peer, "kivo/blm/config",
                                 "{\"blm\": {\"obu_host\": \"10.0.0.1\", \"obu_port\": \"1883\", \"obu_username\": \"obu\", "
                                 "\"obu_password\": \"" + ObuPassword + "\"}}",
                                 "[LTXGTerminal] OBU URL         : mqtt://obu@10.0.0.1:1883"), qPrintable(ui.output()));
        QVERIFY2(ui.publishUntil(peer, "kivo/blm/barcode/maintenance/scanned",
                                 "{\"validator\": {\"obc\": \"mqtt://obu:" + ObuPassword + "@10.0.0.2:1883\"}}",
                                 "[GUIManager] WARN: Maintenance session is not active. Ignoring."), qPrintable(ui.output()));
        // A remote tool reads the settings and sets a new PIN.
        QVERIFY2(ui.publishUntil(peer, "kivo/ui/config/get", "{}", "Publishing to topic 'kivo/ui/config'"),
                 qPrintable(ui.output()));
        QVERIFY2(ui.publishUntil(peer, "kivo/ui/config/set", "{\"gui\": {\"settingsPin\": \"" + NewPin + "\"}}",
                                 "[GUIManager] Config changed : "), qPrintable(ui.output()));
        ui.stop();

        const QByteArray log = ui.lines().join('\n').toUtf8();
        QVERIFY(log.contains("Received on topic: kivo/blm/config")); // payloads are logged
        verifyNoSecret(log, "the log");
        QByteArray published;
        for (const MqttPeer::Message &message : peer.messages())
            published += message.payload;
        QVERIFY(published.contains("********"));
        verifyNoSecret(published, "what the program published");
    }
};

QTEST_GUILESS_MAIN(tst_Secrets)
#include "tst_secrets.moc"
