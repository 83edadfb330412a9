#include "MosquittoBroker.h"
#include "MqttPeer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// The real program, started as a process against a real broker.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void ownTopicsAndLastWill()
    {
        MosquittoBroker broker;
        QVERIFY2(broker.start(), qPrintable(broker.log()));
        MqttPeer peer;
        QVERIFY(peer.connectToBroker(broker.host(), broker.port(), "watcher"));
        QVERIFY(peer.subscribe("kivo/ui/#", 1));

        QTemporaryDir dir;
        QFile serial(dir.filePath("serialnumber"));
        QVERIFY(serial.open(QIODevice::WriteOnly));
        serial.write("K00000042\n");
        serial.close();
        QFile conf(dir.filePath("gui.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[gui]\ndeviceId=" + serial.fileName().toUtf8() + "\nlocale=en_US\n[log]\nsyslog=false\n");
        conf.close();

        QProcess ui;
        ui.setWorkingDirectory(dir.path());
        ui.setProcessChannelMode(QProcess::MergedChannels);
        ui.start(QStringLiteral(LTXG_BINARY), { "-H", broker.host(), "-P", QString::number(broker.port()) });
        QVERIFY(ui.waitForStarted(10000));

        // On connecting the terminal UI announces itself on its own topics.
        for (const char *topic : { "kivo/ui/info", "kivo/ui/status", "kivo/ui/config" }) {
            auto message = peer.waitForMessage(topic, 30000);
            QVERIFY2(message, qPrintable(QString(topic) + "\n" + ui.readAll()));
            QVERIFY(QJsonDocument::fromJson(message->payload).isObject());
        }
        auto config = peer.messages();
        // Its configuration carries the serial-number file it was given.
        bool sawConfig = false;
        for (const auto &m : config) {
            if (m.topic == "kivo/ui/config") {
                const QJsonObject gui = QJsonDocument::fromJson(m.payload).object().value("gui").toObject();
                QCOMPARE(gui.value("deviceId").toString(), serial.fileName());
                sawConfig = true;
            }
        }
        QVERIFY(sawConfig);

        // A connection that dies without a goodbye leaves the last will.
        peer.clear();
        ::kill(pid_t(ui.processId()), SIGKILL);
        QVERIFY(ui.waitForFinished(10000));
        auto will = peer.waitForMessage("kivo/ui/status", 30000);
        QVERIFY(will);
        QCOMPARE(QJsonDocument::fromJson(will->payload).object().value("service"), QJsonValue(false));
    }
};

QTEST_GUILESS_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
