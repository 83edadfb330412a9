#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "ProgramProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// Damaged, unreadable and read-only files under the real program, and a
// program killed while it writes its event log.
class tst_Faults : public QObject
{
    Q_OBJECT

    MosquittoBroker m_broker;
    MqttPeer m_peer;
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_settings;

    QString path(const QString &name) const { return m_dir->filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_broker.start(), qPrintable(m_broker.log()));
        QVERIFY(m_peer.connectToBroker(m_broker.host(), m_broker.port(), "faults-peer"));
        QVERIFY(m_peer.subscribe("kivo/ui/config"));
        m_settings = "[log]\nsyslog=false\nstderr=true\n[mqtt]\nhost=" + m_broker.host().toUtf8()
            + "\nport=" + QByteArray::number(m_broker.port()) + "\n";
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(ProgramProcess::writeFile(path("gui.conf"), m_settings));
    }

    // Settings cut in the middle of a line and not writable, the S/N file
    // unreadable once running: what was read holds (the broker's port, the
    // id), the defaults fill the rest, changes live in memory.
    void damagedFiles()
    {
        QVERIFY(ProgramProcess::writeFile(path("serialnumber"), "K00000042\n"));
        QVERIFY(ProgramProcess::writeFile(path("unreadable"), "K99999999\n"));
        QVERIFY(QFile::setPermissions(path("unreadable"), QFileDevice::WriteOwner));
        const QByteArray truncated = m_settings + "[gui]\nlocale=en_US\ndeviceId=" + path("serialnumber").toUtf8() + "\nshutdownDel";
        QVERIFY(ProgramProcess::writeFile(path("gui.conf"), truncated));
        QVERIFY(QFile::setPermissions(path("gui.conf"), QFileDevice::ReadOwner | QFileDevice::ReadOther));

        // As an ordinary user when the tests run as root, for whom file
        // permissions do not count.
        QStringList arguments;
        if (::geteuid() == 0) {
            QVERIFY(QFile::setPermissions(m_dir->path(), QFile::permissions(m_dir->path()) | QFileDevice::ReadOther
                                                             | QFileDevice::ExeOther));
            arguments = QStringList { "--reuid=65534", "--regid=65534", "--clear-groups" }
                + ProgramProcess::command(QStringLiteral(LTXG_BINARY));
        }
        const auto ui = std::make_unique<ProgramProcess>(arguments.isEmpty() ? QStringLiteral(LTXG_BINARY) : "setpriv");
        QVERIFY(ui->start(m_dir->path(), arguments));
        QVERIFY2(ui->waitForLine("[GUIManager] Connected to MQTT broker") >= 0, qPrintable(ui->output()));
        // Published on connecting.
        const auto config = m_peer.waitForMessage("kivo/ui/config", ProgramProcess::Long);
        QVERIFY(config);
        QCOMPARE(QJsonDocument::fromJson(config->payload)["gui"]["shutdownDelaySec"].toInt(), 60);
        QVERIFY2(ui->publishUntil(m_peer, "kivo/ui/config/set", "{\"gui\": {\"shutdownDelaySec\": 90}}",
                                  "[GUIManager] Shutdown delay changed : 90 sec(s)"), qPrintable(ui->output()));

        QVERIFY2(ui->publishUntil(m_peer, "kivo/ui/config/set",
                                  "{\"gui\": {\"deviceId\": \"" + path("unreadable").toUtf8() + "\"}}",
                                  "[GUIManager] ERROR: Could not load device S/N from file : " + path("unreadable") + " ("),
                 qPrintable(ui->output()));
        // The idle rule with the id it still has: not the first-start page.
        QVERIFY2(ui->publishUntil(m_peer, "kivo/blm/status", "{\"service\": true, \"state\": {\"init\": true}}",
                                  "LTXGTerminal status changed : init"), qPrintable(ui->output()));
        QVERIFY(ui->publishUntil(m_peer, "kivo/ui/info/get", "{}", "[GUIManager] Message received : kivo/ui/info/get"));
        QCOMPARE(ui->findLine("Setting screen : InitPage"), -1);
        QFile reread(path("gui.conf"));
        QVERIFY(reread.open(QIODevice::ReadOnly));
        QCOMPARE(reread.readAll(), truncated);
    }

    void eventLogSurvivesKill()
    {
#ifdef __SANITIZE_ADDRESS__
        QSKIP("instrumented, the program is too slow for kills to meet event-log saves often enough");
#endif
        // The event log lives beside the executable: a copy of its own.
        const QString program = path("LTXGTerminalUI");
        QVERIFY(QFile::copy(LTXG_BINARY, program));
        // A full log, so that every save takes a while.
        QByteArray events = "[events]\nsize=1000\n";
        for (int i = 1; i <= 1000; ++i)
            events += QByteArray::number(i) + "\\category=Board\n" + QByteArray::number(i) + "\\name=Ignition on\n"
                + QByteArray::number(i) + "\\timestamp=" + QDateTime::currentDateTime().addSecs(i - 1000).toString(Qt::ISODate).toUtf8() + "\n";
        QVERIFY(ProgramProcess::writeFile(path("events.ini"), events));

        // A save writes "events.ini.new" under QSettings' lock and renames it
        // over the log: either left behind tells a kill in the middle of a save.
        int kills = 0;
        int duringSave = 0;
        while (duringSave < 3 && kills < 40) {
            ProgramProcess ui(program);
            QVERIFY(ui.start(m_dir->path(), {}));
            QVERIFY2(ui.waitForLine("[GUIManager] Connected to MQTT broker") >= 0, qPrintable(ui.output()));
            // Each ignition change is an event, and each event a save.
            const int from = ui.lines().size();
            bool ignition = false;
            QElapsedTimer toggling;
            toggling.start();
            const int killAfter = 300 + QRandomGenerator::global()->bounded(700);
            while (toggling.elapsed() < killAfter || ui.findLine("Scheduling System shutdown", from) < 0) {
                const QJsonObject device { { "active", true }, { "ignition", ignition = !ignition } };
                QVERIFY(m_peer.publish("kivo/board/status", QJsonDocument(QJsonObject { { "service", true }, { "device", device } }).toJson(), 0));
                QTest::qWait(5);
                QVERIFY2(toggling.elapsed() < ProgramProcess::Long, qPrintable(ui.output()));
            }
            ui.kill();
            ++kills;
            duringSave += QFile::exists(path("events.ini.new.lock")) || QFile::exists(path("events.ini.new"));
            // A lock left by an earlier kill did not stop this run's saves.
            QCOMPARE(ui.findLine("Cannot write the event log file"), -1);

            QSettings events(path("events.ini"), QSettings::IniFormat);
            const int size = events.beginReadArray("events");
            QCOMPARE(events.status(), QSettings::NoError);
            QVERIFY2(size >= 1000 && size <= 1001, qPrintable(QString::number(size)));
            events.setArrayIndex(size - 1);
            QVERIFY(events.value("timestamp").toDateTime().isValid());
        }
        qInfo("%d kills, %d of them during a save", kills, duringSave);
        QVERIFY(duringSave >= 3);
    }
};

QTEST_GUILESS_MAIN(tst_Faults)
#include "tst_faults.moc"
