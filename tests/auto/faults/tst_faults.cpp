#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "ProgramProcess.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

const QByteArray BlmOnline = "{\"service\": true, \"state\": {\"hasRfid\": true, \"hasObu\": true, \"hasRoute\": true}}";
const QByteArray BlmInit = "{\"service\": true, \"state\": {\"init\": true}}";

QByteArray boardStatus(bool ignition)
{
    const QJsonObject device { { "active", true }, { "ignition", ignition } };
    return QJsonDocument(QJsonObject { { "service", true }, { "device", device } }).toJson(QJsonDocument::Compact);
}

} // namespace

// Damaged, unreadable and read-only files under the real program, and a
// program killed while it writes its event log.
class tst_Faults : public QObject
{
    Q_OBJECT

    MosquittoBroker m_broker;
    MqttPeer m_peer;
    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString &name) const { return m_dir->filePath(name); }

    QByteArray settings(const QString &serial) const
    {
        return "[log]\nsyslog=false\nstderr=true\n[mqtt]\nhost=" + m_broker.host().toUtf8()
            + "\nport=" + QByteArray::number(m_broker.port()) + "\n[gui]\nlocale=en_US\ndeviceId=" + serial.toUtf8()
            + "\n";
    }

    // As an ordinary user when the tests run as root, for whom file
    // permissions do not count.
    std::unique_ptr<ProgramProcess> startUnprivileged()
    {
        const bool root = ::geteuid() == 0;
        auto ui = std::make_unique<ProgramProcess>(root ? QStringLiteral("setpriv") : QStringLiteral(LTXG_BINARY));
        QStringList arguments;
        if (root) {
            QFile::setPermissions(m_dir->path(), QFile::permissions(m_dir->path()) | QFileDevice::ReadOther
                                                     | QFileDevice::ExeOther);
            arguments = QStringList { "--reuid=65534", "--regid=65534", "--clear-groups" }
                + ProgramProcess::command(QStringLiteral(LTXG_BINARY));
        }
        return ui->start(m_dir->path(), arguments) ? std::move(ui) : nullptr;
    }

    QJsonObject publishedConfig()
    {
        m_peer.clear();
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < ProgramProcess::Long) {
            m_peer.publish("kivo/ui/config/get", "{}");
            if (const auto message = m_peer.waitForMessage("kivo/ui/config", 1000))
                return QJsonDocument::fromJson(message->payload).object();
        }
        return {};
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_broker.start(), qPrintable(m_broker.log()));
        QVERIFY(m_peer.connectToBroker(m_broker.host(), m_broker.port(), "faults-peer"));
        QVERIFY(m_peer.subscribe("kivo/ui/config"));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(ProgramProcess::writeFile(path("serialnumber"), "K00000042\n"));
        QVERIFY(ProgramProcess::writeFile(path("gui.conf"), settings(path("serialnumber"))));
    }

    void truncatedReadOnlySettings()
    {
        // Cut in the middle of a line, and not writable: what was read before
        // the cut holds, the defaults fill the rest, changes live in memory.
        const QByteArray truncated = settings(path("serialnumber")) + "shutdownDel";
        QVERIFY(ProgramProcess::writeFile(path("gui.conf"), truncated));
        QVERIFY(QFile::setPermissions(path("gui.conf"), QFileDevice::ReadOwner | QFileDevice::ReadOther));
        const auto started = startUnprivileged();
        QVERIFY(started);
        ProgramProcess &ui = *started;
        QVERIFY2(ui.waitForLine("[GUIManager] Connected to MQTT broker") >= 0, qPrintable(ui.output()));

        QJsonObject config = publishedConfig();
        QCOMPARE(config.value("mqtt").toObject().value("port").toVariant().toInt(), int(m_broker.port()));
        QCOMPARE(config.value("gui").toObject().value("shutdownDelaySec").toInt(), 60);

        QVERIFY2(ui.publishUntil(m_peer, "kivo/ui/config/set", "{\"gui\": {\"shutdownDelaySec\": 90}}",
                              "[GUIManager] Shutdown delay changed : 90 sec(s)"),
                 qPrintable(ui.output()));
        QCOMPARE(publishedConfig().value("gui").toObject().value("shutdownDelaySec").toInt(), 90);
        QFile file(path("gui.conf"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), truncated);
        QVERIFY(ui.isRunning());
    }

    void unreadableSerialNumber()
    {
        const QString unreadable = path("unreadable");
        QVERIFY(ProgramProcess::writeFile(unreadable, "K99999999\n"));
        QVERIFY(QFile::setPermissions(unreadable, QFileDevice::WriteOwner));
        const QString error = "[GUIManager] ERROR: Could not load device S/N from file : " + unreadable + " (";

        // Taken away while running: the error, and the id read before stays.
        auto ui = startUnprivileged();
        QVERIFY(ui);
        QVERIFY2(ui->publishUntil(m_peer, "kivo/blm/status", BlmOnline, "LTXGTerminal status changed : online"),
                 qPrintable(ui->output()));
        const QByteArray setDeviceId = "{\"gui\": {\"deviceId\": \"" + unreadable.toUtf8() + "\"}}";
        QVERIFY2(ui->publishUntil(m_peer, "kivo/ui/config/set", setDeviceId, error), qPrintable(ui->output()));
        // The idle rule runs again, with the id it still has.
        QVERIFY2(ui->publishUntil(m_peer, "kivo/blm/status", BlmInit, "LTXGTerminal status changed : init"),
                 qPrintable(ui->output()));
        QVERIFY(ui->publishUntil(m_peer, "kivo/ui/info/get", "{}", "[GUIManager] Message received : kivo/ui/info/get"));
        QCOMPARE(ui->findLine("Setting screen : InitPage"), -1);
        QVERIFY(ui->isRunning());
        ui.reset();

        // Unreadable from the start: the error, and no id (the first-start page).
        QVERIFY(ProgramProcess::writeFile(path("gui.conf"), settings(unreadable)));
        ui = startUnprivileged();
        QVERIFY(ui);
        QVERIFY2(ui->waitForLine(error) >= 0, qPrintable(ui->output()));
        QVERIFY2(ui->publishUntil(m_peer, "kivo/blm/status", BlmInit, "[GUIManager] Setting screen : InitPage"),
                 qPrintable(ui->output()));
        QVERIFY(ui->isRunning());
    }

    void eventLogSurvivesKill()
    {
#ifdef __SANITIZE_ADDRESS__
        // Instrumented, a save is a small part of a much slower program and
        // the kills rarely meet one; the uninstrumented run proves this.
        QSKIP("kills do not meet event-log saves often enough under AddressSanitizer");
#endif
        // The event log lives beside the executable: a copy of its own.
        const QString program = path("LTXGTerminalUI");
        QVERIFY(QFile::copy(LTXG_BINARY, program));
        QVERIFY(QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        {
            // A full log, so that every save takes a while.
            QSettings events(path("events.ini"), QSettings::IniFormat);
            events.beginWriteArray("events", 1000);
            const QDateTime now = QDateTime::currentDateTime();
            for (int i = 0; i < 1000; ++i) {
                events.setArrayIndex(i);
                events.setValue("category", "Board");
                events.setValue("name", i % 2 ? "Ignition on" : "Ignition off");
                events.setValue("desc", "");
                events.setValue("timestamp", now.addSecs(i - 1000));
            }
            events.endArray();
        }

        // A save writes "events.ini.new" under QSettings' lock and renames it
        // over the log: either left behind tells a kill in the middle of a save.
        const QString fresh = path("events.ini.new");
        const QString lock = fresh + QStringLiteral(".lock");
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
                QVERIFY(m_peer.publish("kivo/board/status", boardStatus(ignition), 0));
                ignition = !ignition;
                QTest::qWait(5);
                QVERIFY2(toggling.elapsed() < ProgramProcess::Long, qPrintable(ui.output()));
            }
            ui.kill();
            ++kills;
            duringSave += QFile::exists(lock) || QFile::exists(fresh);
            // A lock left by an earlier kill did not stop this run's saves.
            QCOMPARE(ui.findLine("Cannot write the event log file"), -1);

            QSettings events(path("events.ini"), QSettings::IniFormat);
            const int size = events.beginReadArray("events");
            QCOMPARE(events.status(), QSettings::NoError);
            QVERIFY2(size >= 1000 && size <= 1001, qPrintable(QString::number(size)));
            for (int i = 0; i < size; ++i) {
                events.setArrayIndex(i);
                QVERIFY(!events.value("name").toString().isEmpty());
                QVERIFY2(events.value("timestamp").toDateTime().isValid(), qPrintable(QString::number(i)));
            }
        }
        qInfo("%d kills, %d of them during a save", kills, duringSave);
        QVERIFY(duringSave >= 3);
    }
};

QTEST_GUILESS_MAIN(tst_Faults)
#include "tst_faults.moc"
