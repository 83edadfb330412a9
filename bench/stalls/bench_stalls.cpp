// GUI-thread stalls over a scripted day of the real program (its window
// loaded offscreen, online, with an event log of 1000 entries): start,
// ignition off and on, maintenance logins and logouts with every settings
// page opened, a language switch and tickets. A 1 ms heartbeat timer finds
// the gaps of the event loop; every event the loop delivers is timed, so
// that each long gap names what ran in it. What a touch asks for (opening a
// page: Qt creating it from QML) is timed on its own and reported apart.
//
//   build/bench/stalls/bench_stalls [tickets] [logins]
#include "Config.h"
#include "GUIManager.h"
#include "Measure.h"
#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "Payloads.h"
#include "QuickItems.h"
#include "Terminal.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <mosquitto.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const int FrameMs = 16;

// The step of the day under way, for the record.
QString currentStep = QStringLiteral("start");

struct Delivery
{
    qint64 endNs;
    double ms;
    QString what;
};

// Times every event the loop delivers (the outermost ones: nested
// deliveries are part of their parent's time).
class TimingApplication : public QGuiApplication
{
public:
    using QGuiApplication::QGuiApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (m_depth > 0 || !m_recording)
            return QGuiApplication::notify(receiver, event);
        ++m_depth;
        const QString screenBefore = m_gui ? m_gui->screen() : QString();
        const qint64 start = m_clock.nsecsElapsed();
        const bool result = QGuiApplication::notify(receiver, event);
        const qint64 end = m_clock.nsecsElapsed();
        --m_depth;
        const double ms = (end - start) / 1e6;
        if (ms >= 2.0)
            m_deliveries.push_back({ end, ms, describe(receiver, event, screenBefore) });
        return result;
    }

    void startRecording() { m_clock.start(); m_recording = true; }
    void watch(const GUIManager *gui) { m_gui = gui; }
    qint64 now() const { return m_clock.nsecsElapsed(); }
    // The longest delivery that ended in (from, to].
    const Delivery *longestIn(qint64 from, qint64 to) const
    {
        const Delivery *longest = nullptr;
        for (const Delivery &d : m_deliveries) {
            if (d.endNs > from && d.endNs <= to && (!longest || d.ms > longest->ms))
                longest = &d;
        }
        return longest;
    }

private:
    // Qt's own work, or ours: what the loop delivered, to whom.
    QString describe(QObject *receiver, QEvent *event, const QString &screenBefore)
    {
        if (qobject_cast<QQuickWindow *>(receiver)
            && (event->type() == QEvent::Timer || event->type() == QEvent::UpdateRequest))
            return QStringLiteral("Qt: a frame drawn");
        if (receiver->objectName() == QLatin1String("QQmlThread"))
            return QStringLiteral("Qt: QML loading");
        if (m_gui && m_gui->screen() != screenBefore && !m_shown.contains(m_gui->screen())) {
            m_shown.insert(m_gui->screen());
            return QStringLiteral("Qt: first creation of the %1 page").arg(m_gui->screen());
        }
        if (m_gui)
            m_shown.insert(m_gui->screen());
        QString what = QStringLiteral("ours: ") + QString::fromLatin1(receiver->metaObject()->className());
        if (!receiver->objectName().isEmpty())
            what += QLatin1Char('"') + receiver->objectName() + QLatin1Char('"');
        return what + QStringLiteral(" event %1").arg(int(event->type()));
    }

    const GUIManager *m_gui = nullptr;
    QSet<QString> m_shown;
    QElapsedTimer m_clock;
    int m_depth = 0;
    bool m_recording = false;
    std::vector<Delivery> m_deliveries;
};

struct Gap
{
    double ms;
    qint64 endNs;
    QString step;
};

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void dwell(int ms)
{
    waitFor([] { return false; }, ms);
}

} // namespace

int main(int argc, char *argv[])
{
    bench::defaultToOffscreen();
    TimingApplication app(argc, argv);
    bench::actAsProgram();
    const int tickets = qMax(2, argc > 1 ? QByteArray(argv[1]).toInt() : 200);
    const int logins = qMax(1, argc > 2 ? QByteArray(argv[2]).toInt() : 20);
    mosquitto_lib_init();

    MosquittoBroker broker;
    broker.setQuiet(true);
    MqttPeer services;
    if (!broker.start() || !services.connectToBroker(broker.host(), broker.port(), QStringLiteral("bench-services"))
        || !services.publish(QStringLiteral("kivo/board/status"), bench::boardStatus(true), 1, true)
        || !services.publish(QStringLiteral("kivo/blm/status"), bench::OnlineStatus, 1, true)) {
        std::fprintf(stderr, "broker or peer failed\n");
        return 1;
    }

    // A terminal in service: its serial number, and an event log held at 1000.
    QTemporaryDir dir;
    const QString events = dir.filePath(QStringLiteral("events.ini"));
    bench::writeEventLog(events, 1000);
    Config config(dir.filePath(QStringLiteral("gui.conf")), GUIManager::Defaults);
    if (!bench::prepareTerminal(dir.path(), config, broker.host(), broker.port()))
        return 1;
    config.set(QStringLiteral("gui/locale"), QStringLiteral("en_US"));

    // The heartbeat: the gaps between its beats are the loop's stalls.
    std::vector<Gap> gaps;
    std::vector<double> beats;
    qint64 lastBeat = -1;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = app.now();
        if (lastBeat >= 0) {
            const double ms = (now - lastBeat) / 1e6;
            beats.push_back(ms);
            if (ms > FrameMs)
                gaps.push_back({ ms, now, currentStep });
        }
        lastBeat = now;
    });
    app.startRecording();
    heartbeat.start();

    // Touches: what a technician's finger asks for, timed on its own.
    struct Touch
    {
        QString what;
        double ms;
    };
    std::vector<Touch> touches;
    auto touch = [&](const QString &what, const std::function<void()> &action) {
        currentStep = what;
        QElapsedTimer timer;
        timer.start();
        action();
        touches.push_back({ what, timer.nsecsElapsed() / 1e6 });
        // The beat after a touch measures the touch, not the loop.
        lastBeat = -1;
    };

    currentStep = QStringLiteral("start");
    GUIManager gui(config, events);
    app.watch(&gui);
    gui.load();
    auto *window = qobject_cast<QQuickWindow *>(gui.parent());
    if (!window || !waitFor([&] { return gui.screen() == QLatin1String("EntryGate"); }, 30000)) {
        std::fprintf(stderr, "the UI did not come online (%s)\n", qPrintable(gui.screen()));
        return 1;
    }
    dwell(1000);

    currentStep = QStringLiteral("ignition off");
    services.publish(QStringLiteral("kivo/board/status"), bench::boardStatus(false), 1, true);
    waitFor([&] { return gui.screen() == QLatin1String("ScreenSaver"); }, 10000);
    dwell(500);
    currentStep = QStringLiteral("ignition on");
    services.publish(QStringLiteral("kivo/board/status"), bench::boardStatus(true), 1, true);
    waitFor([&] { return gui.screen() == QLatin1String("EntryGate"); }, 10000);
    dwell(500);

    const QString pin = config.get(QStringLiteral("gui/settingsPin")).toString();
    const QStringList sections = { "Validator", "Diagnostics", "Region", "Audio", "Display", "Network", "Update", "Event Log" };
    for (int login = 0; login < logins; ++login) {
        touch(QStringLiteral("login") + (login == 0 ? QStringLiteral(" (first)") : QString()), [&] {
            gui.settingsLoginRequest(pin);
            gui.setMaintenanceScreen();
        });
        currentStep = QStringLiteral("on the settings list");
        if (!waitFor([&] { return gui.screen() == QLatin1String("Settings"); }, 10000)) {
            std::fprintf(stderr, "the PIN did not open the settings\n");
            return 1;
        }
        auto *loader = findNamed(window, QStringLiteral("pageSettings"));
        QObject *settings = loader ? loader->property("item").value<QObject *>() : nullptr;
        if (!settings)
            return 1;
        dwell(200);
        // Every page on the first visit; one a visit after that.
        const QStringList opened = login == 0 ? sections : QStringList { sections.at(login % sections.size()) };
        for (const QString &section : opened) {
            touch(QStringLiteral("open ") + section + (login == 0 ? QStringLiteral(" (first)") : QString()),
                  [&] { QMetaObject::invokeMethod(settings, "openSection", Q_ARG(QVariant, section)); });
            currentStep = QStringLiteral("on ") + section;
            dwell(300);
        }
        if (login == 0) {
            touch(QStringLiteral("language el_GR"), [&] { gui.setLanguage(QStringLiteral("el_GR")); });
            currentStep = QStringLiteral("after language switch");
            dwell(300);
            touch(QStringLiteral("language en_US"), [&] { gui.setLanguage(QStringLiteral("en_US")); });
            dwell(300);
        }
        touch(QStringLiteral("back to list"), [&] { QMetaObject::invokeMethod(settings, "reset"); });
        currentStep = QStringLiteral("logout");
        gui.settingsLogoutRequest();
        waitFor([&] { return gui.screen() == QLatin1String("EntryGate"); }, 10000);
        dwell(200);
    }

    currentStep = QStringLiteral("tickets");
    for (int i = 0; i < tickets; ++i) {
        services.publish(QStringLiteral("kivo/blm/rfid/scanned"), bench::ticket(i), 0, false);
        dwell(50);
    }
    dwell(500);
    heartbeat.stop();

    // The report.
    std::sort(gaps.begin(), gaps.end(), [](const Gap &a, const Gap &b) { return a.ms > b.ms; });
    const auto b = bench::stats(beats);
    std::printf("scripted day          1 start, ignition off and on, %d logins (every settings page on the first),\n"
                "                      2 language switches, %d tickets, event log of 1000\n", logins, tickets);
    std::printf("heartbeat (1 ms)      %zu beats, gap median %.2f ms, p99 %.2f ms, longest %.1f ms\n", beats.size(),
                b.median, b.p99, gaps.empty() ? *std::max_element(beats.begin(), beats.end()) : gaps.front().ms);
    int ours = 0;
    QStringList lines;
    for (const Gap &gap : gaps) {
        const Delivery *longest = app.longestIn(gap.endNs - qint64(gap.ms * 1e6), gap.endNs);
        // A gap without a long delivery is the machine's: the process did not run.
        if (longest && longest->what.startsWith(QLatin1String("ours: ")))
            ++ours;
        lines << QString::asprintf("  %7.1f ms  during %-26s longest delivery: %s", gap.ms, qPrintable(gap.step),
                                   longest ? qPrintable(QStringLiteral("%1 (%2 ms)").arg(longest->what).arg(longest->ms, 0, 'f', 1))
                                           : "none over 2 ms (the machine's)");
    }
    std::printf("gaps over %d ms        %zu, of them %d ours (goal 0)\n", FrameMs, gaps.size(), ours);
    for (const QString &line : lines.mid(0, 15))
        std::printf("%s\n", qPrintable(line));
    std::sort(touches.begin(), touches.end(), [](const Touch &a, const Touch &b) { return a.ms > b.ms; });
    std::printf("touches (Qt creating the page a touch opens, and the language switch):\n");
    for (const Touch &t : touches) {
        if (t.ms >= FrameMs || &t - touches.data() < 5)
            std::printf("  %7.1f ms  %s\n", t.ms, qPrintable(t.what));
    }
    return 0;
}
