#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "ProgramProcess.h"
#include "VncPointer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonArray>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The real program, started as a process against a real broker.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

    // Broker, simulated device services and the program of one scenario.
    std::unique_ptr<MosquittoBroker> m_broker;
    std::unique_ptr<MqttPeer> m_peer;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_simulator;
    std::unique_ptr<ProgramProcess> m_ui;

    static constexpr int Long = ProgramProcess::Long;

    int findLine(const QString &text, int from) const { return m_ui->findLine(text, from); }
    int waitForLine(const QString &text, int from = 0) { return m_ui->waitForLine(text, from); }

    QString diagnostics() const
    {
        return m_ui->output() + "\n--- simulator ---\n" + QString::fromUtf8(m_simulator->readAllStandardOutput())
            + "\n--- broker ---\n" + m_broker->log();
    }

    // The serial-number file and the settings of a program in `dir`.
    static bool prepare(const QTemporaryDir &dir)
    {
        return ProgramProcess::writeFile(dir.filePath("serialnumber"), "K00000042\n")
            && ProgramProcess::writeFile(dir.filePath("gui.conf"),
                                         "[gui]\ndeviceId=" + dir.filePath("serialnumber").toUtf8()
                                             + "\nlocale=en_US\n[log]\nsyslog=false\nstderr=true\n");
    }

    bool simulate(const QByteArray &command)
    {
        return m_peer->publish("sim/control", command, 1);
    }

    static quint16 freePort()
    {
        QTcpServer server;
        return server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0;
    }

    // Broker, simulator and program up, the validation service online and
    // both readers enabled by the program. The program draws on `platform`,
    // by default the offscreen one of the test run.
    void startOnline(const QString &platform = QString())
    {
        m_broker = std::make_unique<MosquittoBroker>();
        QVERIFY2(m_broker->start(), qPrintable(m_broker->log()));
        m_peer = std::make_unique<MqttPeer>();
        QVERIFY(m_peer->connectToBroker(m_broker->host(), m_broker->port(), "e2e-watcher"));
        for (const char *filter : { "kivo/rfid/enable", "kivo/barcode/enable", "kivo/inspector/audio/play", "kivo/ui/status" })
            QVERIFY(m_peer->subscribe(filter, 1));

        m_simulator = std::make_unique<QProcess>();
        m_simulator->setProcessChannelMode(QProcess::MergedChannels);
        ProgramProcess::start(*m_simulator, QStringLiteral(LTXG_SIMULATOR),
                           { "--host", m_broker->host(), "--port", QString::number(m_broker->port()), "--no-console" });
        QVERIFY(m_simulator->waitForStarted(10000));

        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(prepare(*m_dir));
        m_ui = std::make_unique<ProgramProcess>(QStringLiteral(LTXG_BINARY));
        if (!platform.isEmpty()) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
            m_ui->setEnvironment(environment);
        }
        QVERIFY(m_ui->start(m_dir->path(), { "-H", m_broker->host(), "-P", QString::number(m_broker->port()) }));

        QVERIFY2(waitForLine("LTXGTerminal status changed : online") >= 0, qPrintable(diagnostics()));
        QVERIFY2(m_peer->waitForMessage("kivo/rfid/enable", Long), qPrintable(diagnostics()));
        QVERIFY2(m_peer->waitForMessage("kivo/barcode/enable", Long), qPrintable(diagnostics()));
    }

private slots:
    void cleanup()
    {
        m_ui.reset();
        if (m_simulator && m_simulator->state() != QProcess::NotRunning) {
            m_simulator->terminate();
            if (!m_simulator->waitForFinished(10000))
                m_simulator->kill();
            m_simulator->waitForFinished(10000);
        }
        m_simulator.reset();
        m_peer.reset();
        m_broker.reset();
        m_dir.reset();
    }

    void startsOnlineWithReadersEnabled()
    {
        startOnline();
        if (QTest::currentTestFailed())
            return;
        // Start-up shows the busy page first; online leaves it for the normal
        // page (chosen by the window itself) without a fault page between.
        const int busy = findLine("[GUIManager] Setting screen : Busy", 0);
        const int online = findLine("LTXGTerminal status changed : online", 0);
        QVERIFY2(busy >= 0 && busy < online, qPrintable(diagnostics()));
        QCOMPARE(findLine("Setting screen : OutOfOrder", 0), -1);
        QCOMPARE(findLine("Setting screen : InitPage", 0), -1);
        const auto rfid = m_peer->messages();
        bool autoread = false;
        for (const auto &m : rfid) {
            if (m.topic == "kivo/rfid/enable")
                autoread = QJsonDocument::fromJson(m.payload).object().value("autoread").toBool();
        }
        QVERIFY(autoread);
        auto status = m_peer->waitForMessage("kivo/ui/status", Long);
        QVERIFY(status);
        QCOMPARE(QJsonDocument::fromJson(status->payload).object().value("service"), QJsonValue(true));
    }

    // A person taps the passenger page of a working entry gate: the real
    // window gets a real pointer event (Qt's VNC platform takes input from
    // another process, the offscreen one takes none) and the program issues
    // one card through the simulated dispenser and RFID reader, walking the
    // page through its steps, then stages the next card.
    void tapOnPassengerPageIssuesCard()
    {
        const quint16 vncPort = freePort();
        QVERIFY(vncPort);
        startOnline(QStringLiteral("vnc:size=1024x600:port=%1").arg(vncPort));
        if (QTest::currentTestFailed())
            return;
        for (const char *filter : { "kivo/dispenser/+/request/+", "kivo/rfid/card/+/request/+", "kivo/dispenser/card/removed" })
            QVERIFY(m_peer->subscribe(filter, 1));

        QVERIFY2(waitForLine("[QML] Screen changed : EntryGate") >= 0, qPrintable(diagnostics()));
        QCOMPARE(findLine("[GUIManager] Card issued", 0), -1); // nothing before the tap

        VncPointer pointer;
        QVERIFY2(pointer.connectToServer(vncPort, Long), qPrintable(pointer.errorString()));
        m_peer->clear();
        const int from = m_ui->lines().size();
        QVERIFY2(pointer.tap(512, 400), qPrintable(pointer.errorString())); // below the header

        const int issuing = waitForLine("[QML] Message : Issuing card", from);
        QVERIFY2(issuing >= 0, qPrintable(diagnostics()));
        const int collected = waitForLine("[QML] Message : Card collected", issuing);
        QVERIFY2(collected > issuing, qPrintable(diagnostics()));
        const int issued = findLine("[GUIManager] Card issued successfully : ", issuing);
        QVERIFY2(issued > issuing, qPrintable(diagnostics()));
        const int preparing = waitForLine("[QML] Message : Preparing next card", collected);
        QVERIFY2(preparing > collected, qPrintable(diagnostics()));
        const int ready = waitForLine("[QML] Message : Ready to issue card", preparing);
        QVERIFY2(ready > preparing, qPrintable(diagnostics()));
        QCOMPARE(findLine("FAILED: ", from), -1);
        QCOMPARE(findLine("ERROR: ", from), -1);
        // One tap, one cycle, on the passenger page throughout: progress,
        // "collect your card", "successful", and back to the start.
        QCOMPARE(findLine("[QML] Message : Issuing card", issuing + 1), -1);
        QCOMPARE(findLine("[QML] Screen changed : ", from), -1);
        int step = from;
        for (const char *state : { "busy", "final", "roadBusy", "start" }) {
            step = waitForLine(QStringLiteral("[QML] Entry gate : ") + state, step);
            QVERIFY2(step >= 0, qPrintable(state + diagnostics()));
        }

        // What reached the devices: a card moved onto the reader, created and
        // written with this terminal's entry, pushed out and taken; then the
        // next card moved onto the reader.
        QStringList steps;
        QJsonObject written;
        const auto messages = m_peer->messages();
        for (const auto &m : messages) {
            if (!m.topic.startsWith("kivo/dispenser/") && !m.topic.startsWith("kivo/rfid/card/"))
                continue;
            const int request = m.topic.indexOf("/request/");
            steps << (request > 0 ? m.topic.left(request) : m.topic);
            if (m.topic.startsWith("kivo/rfid/card/write/request/"))
                written = QJsonDocument::fromJson(m.payload).object();
        }
        const QStringList expected = { "kivo/dispenser/issue", "kivo/rfid/card/create", "kivo/rfid/card/write",
                                       "kivo/dispenser/eject", "kivo/dispenser/card/removed", "kivo/dispenser/issue" };
        QCOMPARE(steps, expected);
        QCOMPARE(written.value("template").toString(), QStringLiteral("LTXGv1"));
        const QJsonObject data = written.value("data").toObject();
        QCOMPARE(data.value("info").toObject().value("customsId").toInt(), 1);
        QCOMPARE(data.value("info").toObject().value("status").toString(), QStringLiteral("active"));
        QCOMPARE(data.value("usageCounter").toInt(), 1);
        const QJsonArray log = data.value("usageLog").toArray();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.at(0).toObject().value("deviceId").toString(), QStringLiteral("K00000042"));
        QCOMPARE(log.at(0).toObject().value("locationId").toString(), QStringLiteral("kivo-rnd"));
    }

    void brokerRestartShowsDisconnectedThenRecovers()
    {
        startOnline();
        if (QTest::currentTestFailed())
            return;
        const int from = m_ui->lines().size();
        QVERIFY(m_broker->restart());

        const int lost = waitForLine("[GUIManager] WARN: Disconnected from MQTT broker", from);
        QVERIFY2(lost >= 0, qPrintable(diagnostics()));
        const int outOfOrder = waitForLine("[GUIManager] Setting screen : OutOfOrder", from);
        QVERIFY2(outOfOrder >= 0, qPrintable(diagnostics()));

        // Reconnected by itself, fresh state from the services, online again.
        const int connected = waitForLine("[GUIManager] Connected to MQTT broker", lost);
        QVERIFY2(connected > lost, qPrintable(diagnostics()));
        QVERIFY2(waitForLine("LTXGTerminal status changed : online", qMax(outOfOrder, lost)) >= 0, qPrintable(diagnostics()));
        // Our own watcher reconnects by itself too (subscriptions renewed).
        QTRY_VERIFY_WITH_TIMEOUT(m_peer->isConnected(), Long);

        // The subscriptions were renewed: a ticket reaches the program again.
        m_peer->clear();
        const int before = m_ui->lines().size();
        QVERIFY(simulate("ticket invalid"));
        auto play = m_peer->waitForMessage("kivo/inspector/audio/play", Long);
        QVERIFY2(play, qPrintable(diagnostics()));
        QCOMPARE(QJsonDocument::fromJson(play->payload).object().value("filepath").toString(),
                 QStringLiteral("/opt/kivo/ltxgterminalui/Invalid.wav"));
        QVERIFY2(waitForLine("[GUIManager] Setting screen : Invalid", before) >= 0, qPrintable(diagnostics()));
    }

    void ownTopicsAndLastWill()
    {
        MosquittoBroker broker;
        QVERIFY2(broker.start(), qPrintable(broker.log()));
        MqttPeer peer;
        QVERIFY(peer.connectToBroker(broker.host(), broker.port(), "watcher"));
        QVERIFY(peer.subscribe("kivo/ui/#", 1));

        QTemporaryDir dir;
        QVERIFY(prepare(dir));
        ProgramProcess ui(QStringLiteral(LTXG_BINARY));
        QVERIFY(ui.start(dir.path(), { "-H", broker.host(), "-P", QString::number(broker.port()) }));

        // On connecting the terminal UI announces itself on its own topics.
        for (const char *topic : { "kivo/ui/info", "kivo/ui/status", "kivo/ui/config" }) {
            auto message = peer.waitForMessage(topic, 30000);
            QVERIFY2(message, qPrintable(QString(topic) + "\n" + ui.output()));
            QVERIFY(QJsonDocument::fromJson(message->payload).isObject());
        }
        auto config = peer.messages();
        // Its configuration carries the serial-number file it was given.
        bool sawConfig = false;
        for (const auto &m : config) {
            if (m.topic == "kivo/ui/config") {
                const QJsonObject gui = QJsonDocument::fromJson(m.payload).object().value("gui").toObject();
                QCOMPARE(gui.value("deviceId").toString(), dir.filePath("serialnumber"));
                sawConfig = true;
            }
        }
        QVERIFY(sawConfig);

        // A connection that dies without a goodbye leaves the last will.
        peer.clear();
        ui.kill();
        auto will = peer.waitForMessage("kivo/ui/status", 30000);
        QVERIFY(will);
        QCOMPARE(QJsonDocument::fromJson(will->payload).object().value("service"), QJsonValue(false));
    }
};

QTEST_GUILESS_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
