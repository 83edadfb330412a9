#include "ProgramProcess.h"
#include "UiTestBed.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QQmlContext>
#include <QQmlEngine>
#include <QRandomGenerator>
#include <QtTest>

// The terminal always returns to serving passengers: the real manager with its
// window and the simulator playing every service, driven through what happens
// to a terminal in the field. After each step, once the messages have settled,
// what it shows and what its readers do follow from what it has been told.
class tst_Serving : public QObject
{
    Q_OBJECT

    static constexpr int Long = ProgramProcess::Long;
    static constexpr int Quiet = 400; // nothing crossing the broker for this long: settled

    UiTestBed m_bed;
    std::unique_ptr<QProcess> m_simulator;

    // What the terminal has been told, as the services said it, and what the
    // checks have seen of it.
    struct Run {
        QString fault = QStringLiteral("0");
        bool boardUp = false;
        bool simIgnition = true;
        std::optional<bool> ignition; // as the manager heard it
        bool session = false;
        bool goingDown = false;
        QElapsedTimer pinOpened; // the PIN page holds its place for 15 s
        QStringList done; // the steps so far, for the failure message
        int seen = 0; // peer messages already checked for commands
        bool readersQuiet = false; // no reader command expected from here on
        bool displayOn = true; // as last asked of the board
    } m_run;

    QObject *context(const char *name) const
    {
        return qmlEngine(m_bed.window)->rootContext()->contextProperty(QLatin1String(name)).value<QObject *>();
    }
    bool readerEnabled(const char *reader) const { return context("validatorManager")->property(reader).value<QObject *>()->property("enabled").toBool(); }
    QString windowScreen() const { return m_bed.window->property("currentScreen").toString(); }
    // The last steps (the whole list is printed when a walk fails).
    QString trail() const { return QStringLiteral("step %1, last: ").arg(m_run.done.size()) + m_run.done.mid(m_run.done.size() - 8).join(", "); }

    bool simulate(const QString &command) { return m_bed.peer->publish(QStringLiteral("sim/control"), command.toUtf8(), 1); }

    // Until nothing has crossed the broker for a while.
    void settle()
    {
        const QDeadlineTimer deadline(Long);
        QElapsedTimer quiet;
        for (int count = -1; (!quiet.isValid() || quiet.elapsed() < Quiet) && !deadline.hasExpired(); QTest::qWait(20)) {
            if (count != m_bed.peer->messages().size()) {
                count = m_bed.peer->messages().size();
                quiet.start();
            }
        }
    }

    // No reader receives more than one command per status report, and none
    // at all where the terminal has nothing to change. The display is not
    // left switched off on the passenger page.
    void checkCommands(bool passengers)
    {
        const QList<MqttPeer::Message> messages = m_bed.peer->messages();
        int rfid = 0, barcode = 0;
        for (int i = m_run.seen; i < messages.size(); ++i) {
            const QString &topic = messages.at(i).topic;
            if (topic == QLatin1String("kivo/blm/status"))
                rfid = barcode = 0;
            rfid += topic == QLatin1String("kivo/rfid/enable") || topic == QLatin1String("kivo/rfid/disable");
            barcode += topic == QLatin1String("kivo/barcode/enable") || topic == QLatin1String("kivo/barcode/disable");
            QVERIFY2(rfid <= 1 && barcode <= 1 && (!m_run.readersQuiet || rfid + barcode == 0), qPrintable(trail() + " : " + topic));
            const QJsonValue display = QJsonDocument::fromJson(messages.at(i).payload).object().value(QLatin1String("display"));
            if (topic == QLatin1String("kivo/board/power/set") && display.isBool())
                m_run.displayOn = display.toBool();
        }
        m_run.seen = messages.size();
        QVERIFY2(!passengers || m_run.displayOn, qPrintable(trail()));
    }

    void checkInvariants()
    {
        const QString screen = m_bed.gui->screen();
        QCOMPARE(windowScreen(), screen);
        const bool pinEntry = screen == QLatin1String("Login") && m_run.pinOpened.isValid() && m_run.pinOpened.elapsed() < 16000;
        const bool passengers = m_run.ignition != false && !m_run.session && !m_run.goingDown && !pinEntry;
        checkCommands(passengers && m_run.fault == QLatin1String("0"));
        if (m_run.ignition == false) {
            // Until the shutdown it scheduled begins.
            const bool shuttingDown = m_bed.gui->message() == QLatin1String("Shutting down");
            QVERIFY2(screen == QLatin1String("ScreenSaver") || (shuttingDown && screen == QLatin1String("Busy")),
                     qPrintable(trail() + " : " + screen));
        }
        if (!passengers)
            return;
        const bool rfid = readerEnabled("rfid"), barcode = readerEnabled("barcode");
        if (m_run.fault == QLatin1String("0")) {
            QVERIFY2(screen == QLatin1String("EntryGate") || screen == QLatin1String("Invalid"), qPrintable(trail() + " : " + screen));
            QVERIFY2(rfid && barcode, qPrintable(trail()));
        } else if (m_run.fault == QLatin1String("init")) {
            QVERIFY2(screen == QLatin1String("Busy"), qPrintable(trail() + " : " + screen));
        } else {
            const char *expected = m_run.fault == QLatin1String("6") ? "OutOfService" : "OutOfOrder";
            QVERIFY2(screen == QLatin1String(expected), qPrintable(trail() + " : " + screen));
            // A validation service that is down reports no reader.
            QVERIFY2(m_run.fault == QLatin1String("2") || (!rfid && !barcode), qPrintable(trail()));
        }
    }

    // One step of a terminal's life; a word the walk and the cases share.
    void run(const QString &step)
    {
        m_run.done << step;
        const QString word = step.section(' ', 0, 0);
        const QString arg = step.section(' ', 1);
        if (word == QLatin1String("ignition") || word == QLatin1String("board")) {
            if (word == QLatin1String("ignition"))
                m_run.simIgnition = arg == QLatin1String("on");
            else
                m_run.boardUp = arg == QLatin1String("up");
            if (m_run.boardUp)
                m_run.ignition = m_run.simIgnition;
            if (m_run.ignition == false)
                m_run.session = false;
            QVERIFY(simulate(word == QLatin1String("board") ? "service " + arg + " board" : step));
        } else if (word == QLatin1String("fault") || word == QLatin1String("ticket") || word == QLatin1String("status")) {
            if (word == QLatin1String("fault"))
                m_run.fault = arg;
            QVERIFY(simulate(step));
        } else if (word == QLatin1String("restart")) {
            const int connections = m_bed.log->matching(QStringLiteral("Connected to MQTT broker")).size();
            QVERIFY(m_bed.broker->restart()); // the simulator and the manager reconnect after their delays
            QTRY_VERIFY_WITH_TIMEOUT(m_bed.log->matching(QStringLiteral("Connected to MQTT broker")).size() > connections, Long);
        } else if (word == QLatin1String("login") && m_run.ignition != false) { // no PIN pad behind the screen saver
            m_bed.gui->settingsLoginRequest(QStringLiteral("3917"));
            m_bed.gui->setMaintenanceScreen();
            m_run.session = true;
            QObject *settings = m_bed.find(QStringLiteral("pageSettings"))->property("item").value<QObject *>();
            if (settings && arg == QLatin1String("diagnostics"))
                QMetaObject::invokeMethod(settings, "openSection", Q_ARG(QVariant, QStringLiteral("Diagnostics")));
            if (settings && arg == QLatin1String("scan"))
                QMetaObject::invokeMethod(m_bed.find(QStringLiteral("scanConfigPopup")), "open");
        } else if (word == QLatin1String("logout")) {
            m_bed.gui->settingsLogoutRequest();
            m_run.session = false;
        } else if (word == QLatin1String("pin")) {
            if (m_bed.gui->screen() != QLatin1String("Login"))
                m_run.pinOpened.start();
            m_bed.gui->setMaintenanceScreen();
        } else if (word == QLatin1String("tap")) {
            // A passenger's finger, on any page but the technician's.
            if (windowScreen() != QLatin1String("Login") && windowScreen() != QLatin1String("Settings"))
                QTest::mouseClick(m_bed.window, Qt::LeftButton, {}, QPoint(512, 400));
        } else if (word == QLatin1String("reboot")) {
            m_run.goingDown = true;
            m_bed.gui->rebootRequest();
        } else if (word == QLatin1String("wait")) {
            QTest::qWait(arg.toInt());
        } else if (word == QLatin1String("quiet")) {
            m_run.readersQuiet = true;
        } else if (word != QLatin1String("login")) {
            QFAIL(qPrintable("unknown step " + step));
        }
        settle();
        if (!QTest::currentTestFailed())
            checkInvariants();
    }

    // Broker, simulator (its board silent) and the manager with its window.
    void startTerminal()
    {
        m_run = Run();
        QVERIFY(m_bed.start({}, [this] {
            m_simulator = std::make_unique<QProcess>();
            return ProgramProcess::startSimulator(*m_simulator, m_bed.broker->host(), m_bed.broker->port(), {"--take-after", "300"})
                && QTest::qWaitFor([this] { return m_bed.peer->messageCount(QStringLiteral("kivo/blm/status")) > 0; }, Long)
                && simulate(QStringLiteral("service down board"))
                && QTest::qWaitFor([this] { return m_bed.peer->messageCount(QStringLiteral("kivo/board/status")) > 1; }, Long);
        }));
        QTRY_VERIFY_WITH_TIMEOUT(m_bed.log->contains("LTXGTerminal status changed : online"), Long);
        settle();
        checkInvariants();
    }

private slots:
    void initTestCase() { UiTestBed::initTestCase(); }

    void cleanup()
    {
        m_simulator.reset(); // killed
        const QStringList problems = m_bed.stop();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    // Each a fault that once left a terminal in a state it never left.
    void cases_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("logged"); // a line that must be in the log, once
        const auto row = [](const char *name, const char *steps, const char *logged = "") {
            QTest::newRow(name) << QString(steps) << QString(logged);
        };
        row("readers back on after the service recovers", "fault 2, fault 0");
        row("no reader storm while a fault lasts", "fault 2, quiet, status, status, status");
        row("a second fault is shown", "fault 2, fault 0, fault 5");
        row("a fault during PIN entry", "pin, fault 4, pin, fault 0, fault 7");
        row("screen saver holds", "board up, ignition off, fault 2, fault 0, ticket invalid, wait 3500");
        row("silent board hides no fault", "fault 5");
        row("started with the ignition off", "ignition off, board up", "[Inspector] Scheduling System shutdown in : 60 sec(s)");
        row("maintenance left with diagnostics open", "login diagnostics, logout");
        row("maintenance left with the scan pop-up open", "login scan, logout");
        row("a tap at a working entry gate issues a card", "tap", "[GUIManager] Card issued successfully : ");
        row("no card while going down", "reboot, tap, fault 0", "WARN: Not serving passengers. Ignoring card request.");
        row("repeated ignition events logged once", "board up, ignition on, ignition on, ignition on", "Ignition on");
    }

    void cases()
    {
        QFETCH(QString, steps);
        QFETCH(QString, logged);
        startTerminal();
        for (const QString &step : steps.split(QStringLiteral(", "))) {
            if (!QTest::currentTestFailed())
                run(step);
        }
        if (QTest::currentTestFailed())
            return;
        if (logged == QLatin1String("Ignition on")) {
            const auto events = context("eventLogManager")->property("data").value<QList<QObject *>>();
            QCOMPARE(int(std::count_if(events.begin(), events.end(), [&](QObject *e) { return e->property("name") == logged; })), 1);
        } else if (!logged.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(m_bed.log->matching(logged).size(), 1, Long);
        }
    }

    // A seeded walk through what a terminal goes through; LTXG_WALK_SEED
    // picks another seed, LTXG_WALK_STEPS another length.
    void randomWalk()
    {
        const quint32 seed = qEnvironmentVariableIsSet("LTXG_WALK_SEED") ? qEnvironmentVariableIntValue("LTXG_WALK_SEED") : 1;
        const int steps = qEnvironmentVariableIsSet("LTXG_WALK_STEPS") ? qEnvironmentVariableIntValue("LTXG_WALK_STEPS") : 120;
        qInfo("random walk: seed %u, %d steps", seed, steps);
        QRandomGenerator random(seed);
        const QStringList faults = {"0", "0", "0", "2", "3", "4", "5", "6", "7", "init"};
        startTerminal();
        for (int i = 0; i < steps && !QTest::currentTestFailed(); ++i) {
            const int pick = random.bounded(100);
            const auto any = [&](const QStringList &choices) { return choices.at(random.bounded(choices.size())); };
            const QString step = pick < 30 ? QString("fault " + any(faults))
                : pick < 40 ? any({"ignition off", "ignition on"})
                : pick < 45 ? (m_run.boardUp ? "board down" : "board up")
                : pick < 52 ? (m_run.session ? "logout" : any({"login", "login diagnostics", "login scan"}))
                : pick < 68 ? any({"ticket invalid", "ticket valid"})
                : pick < 78 ? "tap"
                : pick < 84 ? "pin"
                : pick < 94 ? QString("wait " + QString::number(500 + random.bounded(3500)))
                : pick < 97 ? "status"
                : "restart";
            run(step);
        }
        if (QTest::currentTestFailed())
            fprintf(stderr, "random walk failed: seed %u; steps: %s\n", seed, qPrintable(m_run.done.join(QStringLiteral(", "))));
    }
};

QTEST_MAIN(tst_Serving)
#include "tst_serving.moc"
