#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "ProgramProcess.h"
#include "VncPointer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The real program, started as a process against a real broker and the
// simulated device services.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<MosquittoBroker> m_broker;
    std::unique_ptr<MqttPeer> m_peer;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_simulator;
    std::unique_ptr<ProgramProcess> m_ui;

    static QJsonObject json(const std::optional<MqttPeer::Message> &message)
    {
        return message ? QJsonDocument::fromJson(message->payload).object() : QJsonObject();
    }
    int findLine(const QString &text, int from = 0) const { return m_ui->findLine(text, from); }
    int waitForLine(const QString &text, int from = 0) { return m_ui->waitForLine(text, from); }

    QString diagnostics() const
    {
        return m_ui->output() + "\n--- simulator ---\n" + QString::fromUtf8(m_simulator->readAllStandardOutput())
            + "\n--- broker ---\n" + m_broker->log();
    }

    // Broker, simulator and program up, the validation service online and
    // both readers enabled by the program, which draws on `platform` (by
    // default the offscreen one of the test run).
    void startOnline(const QString &platform = QString())
    {
        m_broker = std::make_unique<MosquittoBroker>();
        QVERIFY2(m_broker->start(), qPrintable(m_broker->log()));
        m_peer = std::make_unique<MqttPeer>();
        QVERIFY(m_peer->connectToBroker(m_broker->host(), m_broker->port(), "e2e-watcher"));
        for (const char *filter : {"kivo/rfid/enable", "kivo/barcode/enable", "kivo/inspector/audio/play", "kivo/ui/#"})
            QVERIFY(m_peer->subscribe(filter, 1));
        m_simulator = std::make_unique<QProcess>();
        m_simulator->setProcessChannelMode(QProcess::MergedChannels);
        QVERIFY(ProgramProcess::startSimulator(*m_simulator, m_broker->host(), m_broker->port()));
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(ProgramProcess::writeFile(m_dir->filePath("serialnumber"), "K00000042\n"));
        QVERIFY(ProgramProcess::writeFile(m_dir->filePath("gui.conf"), "[gui]\ndeviceId=" + m_dir->filePath("serialnumber").toUtf8()
                                              + "\nlocale=en_US\n[log]\nsyslog=false\nstderr=true\n"));
        m_ui = std::make_unique<ProgramProcess>(QStringLiteral(LTXG_BINARY));
        if (!platform.isEmpty()) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
            m_ui->setEnvironment(environment);
        }
        QVERIFY(m_ui->start(m_dir->path(), {"-H", m_broker->host(), "-P", QString::number(m_broker->port())}));
        QVERIFY2(waitForLine("LTXGTerminal status changed : online") >= 0, qPrintable(diagnostics()));
        // Passenger cards are read by the reader itself.
        QCOMPARE(json(m_peer->waitForMessage("kivo/rfid/enable", ProgramProcess::Long)).value("autoread"), QJsonValue(true));
        QVERIFY2(m_peer->waitForMessage("kivo/barcode/enable", ProgramProcess::Long), qPrintable(diagnostics()));
    }

private slots:
    void cleanup()
    {
        m_ui.reset();
        m_simulator.reset(); // killed
        m_peer.reset();
        m_broker.reset();
        m_dir.reset();
    }

    // A person taps the passenger page of a working entry gate: the real
    // window gets a real pointer event (Qt's VNC platform takes input from
    // another process, the offscreen one takes none) and the program issues
    // one card through the simulated dispenser and RFID reader, then stages
    // the next card. A card the reader refuses to write fails the next tap.
    void tapOnPassengerPageIssuesCard()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const quint16 vncPort = server.serverPort();
        server.close();
        startOnline(QStringLiteral("vnc:size=1024x600:port=%1").arg(vncPort));
        if (QTest::currentTestFailed())
            return;
        QVERIFY(m_peer->subscribe("kivo/rfid/card/write/request/+", 1));
        QVERIFY2(waitForLine("[QML] Screen changed : EntryGate") >= 0, qPrintable(diagnostics()));
        QCOMPARE(findLine("[GUIManager] Card issued"), -1); // nothing before the tap
        VncPointer pointer;
        QVERIFY(pointer.connectToServer(vncPort, ProgramProcess::Long));
        m_peer->clear();
        const int from = m_ui->lines().size();
        QVERIFY(pointer.tap(512, 400)); // below the header
        // One cycle, on the passenger page throughout.
        const auto inOrder = [&](const QStringList &lines) {
            int at = from;
            for (const QString &line : lines)
                QVERIFY2((at = waitForLine(line, at)) >= 0, qPrintable(line + diagnostics()));
        };
        inOrder({"[QML] Message : Issuing card", "[GUIManager] Card issued successfully : "});
        inOrder({"[QML] Message : Issuing card", "[QML] Message : Card collected", "[QML] Message : Preparing next card",
                 "[QML] Message : Ready to issue card"});
        inOrder({"[QML] Entry gate : busy", "[QML] Entry gate : final", "[QML] Entry gate : roadBusy", "[QML] Entry gate : start"});
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(findLine("[QML] Message : Issuing card", findLine("[QML] Message : Issuing card", from) + 1), -1);
        QCOMPARE(findLine("[QML] Screen changed : ", from), -1);
        QCOMPARE(findLine("ERROR: ", from), -1);
        QCOMPARE(findLine("FAILED: ", from), -1);
        // The card is written with this terminal's entry (the request
        // sequence runs in the card issuer's tests).
        const QJsonObject written = json(m_peer->waitForMessage("kivo/rfid/card/write/request/+"));
        QCOMPARE(written.value("template").toString(), QStringLiteral("LTXGv1"));
        const QJsonArray log = written.value("data").toObject().value("usageLog").toArray();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.at(0).toObject().value("deviceId").toString(), QStringLiteral("K00000042"));
        QCOMPARE(log.at(0).toObject().value("locationId").toString(), QStringLiteral("kivo-rnd"));
        QVERIFY(m_peer->publish("sim/control", "badcard", 1));
        const int again = m_ui->lines().size();
        QVERIFY(pointer.tap(512, 400));
        QVERIFY2(waitForLine("[GUIManager] ERROR: Failed to issue card : ", again) >= 0, qPrintable(diagnostics()));
        QVERIFY2(waitForLine("[QML] Message : FAILED: ", again) >= 0, qPrintable(diagnostics()));
    }

    // Up, through a broker restart and down without a goodbye.
    void startsRecoversAndLeavesLastWill()
    {
        startOnline();
        if (QTest::currentTestFailed())
            return;
        // The busy page first; online leaves it for the passenger page
        // without a fault page between.
        const int busy = findLine("[GUIManager] Setting screen : Busy");
        QVERIFY2(busy >= 0 && busy < findLine("LTXGTerminal status changed : online"), qPrintable(diagnostics()));
        QCOMPARE(findLine("Setting screen : OutOfOrder"), -1);
        QCOMPARE(findLine("Setting screen : InitPage"), -1);
        // It announces itself on its own topics; its configuration carries
        // the serial-number file it was given.
        for (const char *topic : {"kivo/ui/info", "kivo/ui/status", "kivo/ui/config"})
            QVERIFY2(m_peer->messageCount(topic) > 0, topic);
        QCOMPARE(json(m_peer->waitForMessage("kivo/ui/config")).value("gui").toObject().value("deviceId").toString(),
                 m_dir->filePath("serialnumber"));
        const int from = m_ui->lines().size();
        QVERIFY(m_broker->restart());
        const int lost = waitForLine("[GUIManager] WARN: Disconnected from MQTT broker", from);
        QVERIFY2(lost >= 0, qPrintable(diagnostics()));
        const int outOfOrder = waitForLine("[GUIManager] Setting screen : OutOfOrder", from);
        QVERIFY2(outOfOrder >= 0, qPrintable(diagnostics()));
        QVERIFY2(waitForLine("[GUIManager] Connected to MQTT broker", lost) > lost, qPrintable(diagnostics()));
        QVERIFY2(waitForLine("LTXGTerminal status changed : online", qMax(outOfOrder, lost)) >= 0, qPrintable(diagnostics()));
        QTRY_VERIFY_WITH_TIMEOUT(m_peer->isConnected(), ProgramProcess::Long);
        // The subscriptions were renewed: a ticket reaches the program again.
        m_peer->clear();
        const int before = m_ui->lines().size();
        QVERIFY(m_peer->publish("sim/control", "ticket invalid", 1));
        QCOMPARE(json(m_peer->waitForMessage("kivo/inspector/audio/play", ProgramProcess::Long)).value("filepath").toString(),
                 QStringLiteral("/opt/kivo/ltxgterminalui/Invalid.wav"));
        QVERIFY2(waitForLine("[GUIManager] Setting screen : Invalid", before) >= 0, qPrintable(diagnostics()));
        // A connection that dies without a goodbye leaves the last will.
        m_peer->clear();
        m_ui->kill();
        QCOMPARE(json(m_peer->waitForMessage("kivo/ui/status", ProgramProcess::Long)).value("service"), QJsonValue(false));
    }
};

QTEST_GUILESS_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
