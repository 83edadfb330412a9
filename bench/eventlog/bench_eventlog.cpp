// The event log on the GUI thread: the time a push takes with 1000 events
// held (what the thread waits for; the file is written elsewhere), the time
// to open a log of 1000 events, and how long the file takes to reach the
// disk after a push.
//
//   build/bench/eventlog/bench_eventlog [pushes]
#include "Config.h"
#include "Event.h"
#include "EventManager.h"
#include "GUIManager.h"
#include "Measure.h"
#include "Terminal.h"
#include "logger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using bench::stats;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int pushes = qMax(10, argc > 1 ? QByteArray(argv[1]).toInt() : 500);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("events.ini"));
    bench::writeEventLog(file, 1000);
    // The program's logging, to nowhere.
    manager::Logger::instance();
    Config config(dir.filePath(QStringLiteral("gui.conf")), GUIManager::Defaults);
    config.set(QStringLiteral("log/syslog"), false);
    config.set(QStringLiteral("log/stderr"), false);

    std::vector<double> openMs;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer timer;
        timer.start();
        EventManager log(config, file);
        openMs.push_back(timer.nsecsElapsed() / 1e6);
    }

    EventManager log(config, file);
    std::vector<double> pushUs;
    std::vector<double> diskMs;
    for (int i = 0; i < pushes; ++i) {
        QElapsedTimer timer;
        timer.start();
        log.push(new Event(QStringLiteral("Board"), i % 2 ? QStringLiteral("Ignition on") : QStringLiteral("Ignition off"),
                           QString(), QDateTime::currentDateTime()));
        pushUs.push_back(timer.nsecsElapsed() / 1e3);
        // Every tenth push waits for the disk, so that most meet a write
        // in progress as they would in a burst.
        if (i % 10 == 9) {
            log.flush();
            diskMs.push_back(timer.nsecsElapsed() / 1e6);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    const double maxUs = *std::max_element(pushUs.begin(), pushUs.end());
    const auto o = stats(openMs);
    const auto p = stats(pushUs);
    const auto d = stats(diskMs);
    std::printf("open, 1000 events      median %8.2f ms   p99 %8.2f ms\n", o.median, o.p99);
    std::printf("push, 1000 held        median %8.1f us   p99 %8.1f us   max %8.1f us (goal < 1000: %s)\n", p.median,
                p.p99, maxUs, p.p99 < 1000 ? "met" : "MISSED");
    std::printf("push to on disk        median %8.2f ms   p99 %8.2f ms\n", d.median, d.p99);
    return 0;
}
