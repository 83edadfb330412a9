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

#include <csignal>
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
    std::unique_ptr<QProcess> m_ui;
    QStringList m_lines; // the program's standard error, line by line
    QByteArray m_partial;

    static constexpr int Long = 30000; // generous: a loaded 2-core machine

    void readStderr()
    {
        m_partial += m_ui->readAllStandardError();
        int end;
        while ((end = m_partial.indexOf('\n')) >= 0) {
            m_lines.append(QString::fromUtf8(m_partial.left(end)));
            m_partial.remove(0, end + 1);
        }
    }

    int findLine(const QString &text, int from) const
    {
        for (int i = from; i < m_lines.size(); ++i) {
            if (m_lines.at(i).contains(text))
                return i;
        }
        return -1;
    }

    // Index of the first line at or after `from` containing `text`, or -1.
    int waitForLine(const QString &text, int from = 0, int timeoutMs = Long)
    {
        QElapsedTimer timer;
        timer.start();
        int index;
        while ((index = findLine(text, from)) < 0 && timer.elapsed() < timeoutMs)
            QTest::qWait(50);
        return index;
    }

    QString diagnostics() const
    {
        return m_lines.join('\n') + "\n--- simulator ---\n" + QString::fromUtf8(m_simulator->readAllStandardOutput())
            + "\n--- broker ---\n" + m_broker->log();
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
        QFile serial(m_dir->filePath("serialnumber"));
        QVERIFY(serial.open(QIODevice::WriteOnly));
        serial.write("K00000042\n");
        serial.close();
        QFile conf(m_dir->filePath("gui.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[gui]\ndeviceId=" + serial.fileName().toUtf8() + "\nlocale=en_US\n[log]\nsyslog=false\nstderr=true\n");
        conf.close();

        m_lines.clear();
        m_partial.clear();
        m_ui = std::make_unique<QProcess>();
        m_ui->setWorkingDirectory(m_dir->path());
        connect(m_ui.get(), &QProcess::readyReadStandardError, this, &tst_EndToEnd::readStderr);
        if (!platform.isEmpty()) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
            m_ui->setProcessEnvironment(environment);
        }
        ProgramProcess::start(*m_ui, QStringLiteral(LTXG_BINARY),
                    { "--stderr", "-H", m_broker->host(), "-P", QString::number(m_broker->port()) });
        QVERIFY(m_ui->waitForStarted(10000));

        QVERIFY2(waitForLine("LTXGTerminal status changed : online") >= 0, qPrintable(diagnostics()));
        QVERIFY2(m_peer->waitForMessage("kivo/rfid/enable", Long), qPrintable(diagnostics()));
        QVERIFY2(m_peer->waitForMessage("kivo/barcode/enable", Long), qPrintable(diagnostics()));
    }

    void stopProcess(std::unique_ptr<QProcess> &process)
    {
        if (!process)
            return;
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(10000)) {
                process->kill();
                process->waitForFinished(10000);
            }
        }
        process.reset();
    }

private slots:
    void cleanup()
    {
        if (m_ui)
            disconnect(m_ui.get(), nullptr, this, nullptr);
        stopProcess(m_ui);
        stopProcess(m_simulator);
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
        const int from = m_lines.size();
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
        const int from = m_lines.size();
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
        const int before = m_lines.size();
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
        ProgramProcess::start(ui, QStringLiteral(LTXG_BINARY), { "-H", broker.host(), "-P", QString::number(broker.port()) });
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
