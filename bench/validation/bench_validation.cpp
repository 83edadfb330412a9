// Validation feedback: an external libmosquitto peer publishes a ticket on
// the validation service's topic and times until the UI's request to play
// the sound arrives, against the same peer's raw echo round trip through the
// same broker, interleaved in one run. The UI is the real GUI manager with
// its window loaded offscreen, online as on the terminal.
//
//   build/bench/validation/bench_validation [tickets] [pause-ms]
//
// Tickets follow one another after a pause (default 20 ms, far quicker than
// passengers), so that each meets the UI as it is between validations; with
// a pause of 0 each ticket also meets the drawing of the one before.
#include "Config.h"
#include "GUIManager.h"
#include "Measure.h"
#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "Payloads.h"
#include "RawRequester.h"
#include "Terminal.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <QStringBuilder>
#include <QTemporaryDir>

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

using bench::Stats;
using bench::stats;

using bench::OnlineStatus;
using bench::ticket;

namespace {

const QByteArray BoardStatus = bench::boardStatus(true);

} // namespace

int main(int argc, char *argv[])
{
    bench::defaultToOffscreen();
    QGuiApplication app(argc, argv);
    bench::actAsProgram();
    const int tickets = qMax(2, argc > 1 ? QByteArray(argv[1]).toInt() : 2000);
    const int pauseMs = qMax(0, argc > 2 ? QByteArray(argv[2]).toInt() : 20);
    mosquitto_lib_init();

    MosquittoBroker broker;
    broker.setQuiet(true);
    if (!broker.start()) {
        std::fprintf(stderr, "broker did not start:\n%s\n", qPrintable(broker.log()));
        return 1;
    }
    MqttPeer echo;
    MqttPeer services;
    if (!echo.connectToBroker(broker.host(), broker.port(), QStringLiteral("bench-echo"))
        || !echo.setResponder(QStringLiteral("bench/+/request/+"),
                              [](const QString &, const QByteArray &payload) -> std::optional<QByteArray> {
                                  return payload;
                              })
        || !services.connectToBroker(broker.host(), broker.port(), QStringLiteral("bench-services"))
        || !services.subscribe(QStringLiteral("kivo/rfid/enable"), 1)
        || !services.publish(QStringLiteral("kivo/board/status"), BoardStatus, 1, true)
        || !services.publish(QStringLiteral("kivo/blm/status"), OnlineStatus, 1, true)) {
        std::fprintf(stderr, "peers failed\n");
        return 1;
    }

    // The program's own set-up, logging at its default level to nowhere (a
    // line per ticket on a terminal would measure the terminal).
    QTemporaryDir dir;
    Config config(dir.filePath(QStringLiteral("gui.conf")), GUIManager::Defaults);
    if (!bench::prepareTerminal(dir.path(), config, broker.host(), broker.port()))
        return 1;
    GUIManager gui(config, dir.filePath(QStringLiteral("events.ini")));
    gui.load();
    if (!qobject_cast<QQuickWindow *>(gui.parent())) {
        std::fprintf(stderr, "the window did not load\n");
        return 1;
    }
    // Online: the UI has switched the readers on.
    if (!services.waitForMessage(QStringLiteral("kivo/rfid/enable"), 30000)) {
        std::fprintf(stderr, "the UI did not come online\n");
        return 1;
    }

    RawRequester raw;
    RawRequester validator;
    validator.setClientId(QByteArrayLiteral("bench-validator"));
    validator.setAnswerFilter(QByteArrayLiteral("kivo/inspector/audio/play"));
    if (!raw.start(broker.port()) || !validator.start(broker.port())) {
        std::fprintf(stderr, "raw peers failed\n");
        return 1;
    }

    // The GUI thread runs the UI; the peers wait on this thread.
    std::vector<double> rawUs, uiUs, validUs, refusedUs;
    int failures = 0;
    std::thread driver([&] {
        for (int i = 0; i < 200; ++i) {
            raw.call(i);
            validator.call(QByteArrayLiteral("kivo/blm/rfid/scanned"), ticket(i));
        }
        for (int i = 0; i < tickets; ++i) {
            const double r = raw.call(i);
            const double u = validator.call(QByteArrayLiteral("kivo/blm/rfid/scanned"), ticket(i));
            if (r < 0 || u < 0) {
                ++failures;
                continue;
            }
            rawUs.push_back(r);
            uiUs.push_back(u);
            (i % 2 == 0 ? validUs : refusedUs).push_back(u);
            if (pauseMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    // The echo peer records what it answers; forget it now and then.
    QTimer forget;
    QObject::connect(&forget, &QTimer::timeout, [&echo] { echo.clear(); });
    forget.start(1000);
    app.exec();
    driver.join();

    if (validUs.empty() || refusedUs.empty()) {
        std::fprintf(stderr, "no ticket was answered\n");
        return 1;
    }
    const Stats r = stats(rawUs);
    const Stats u = stats(uiUs);
    // Each ticket against the echo right before it: the machine's own
    // hiccups hit both, and the tail left is the UI's.
    std::vector<double> addedUs;
    for (size_t i = 0; i < uiUs.size(); ++i)
        addedUs.push_back(uiUs[i] - rawUs[i]);
    const Stats a = stats(addedUs);
    const double addedMedian = a.median;
    const double addedP99 = a.p99;
    const Stats v = stats(validUs);
    const Stats f = stats(refusedUs);
    std::printf("tickets               %d, valid and refused alternating, %d ms apart (failed %d)\n", tickets, pauseMs,
                failures);
    std::printf("raw echo round trip   median %8.1f us   p99 %8.1f us\n", r.median, r.p99);
    std::printf("ticket to sound       median %8.1f us   p99 %8.1f us\n", u.median, u.p99);
    std::printf("  valid               median %8.1f us   p99 %8.1f us\n", v.median, v.p99);
    std::printf("  refused             median %8.1f us   p99 %8.1f us\n", f.median, f.p99);
    std::printf("difference            median %8.1f us   p99 %8.1f us\n", u.median - r.median, u.p99 - r.p99);
    std::printf("UI adds, per ticket   median %8.1f us (goal < 1000: %s)   p99 %8.1f us (goal < 3000: %s)\n",
                addedMedian, addedMedian < 1000 ? "met" : "MISSED", addedP99, addedP99 < 3000 ? "met" : "MISSED");
    return failures == 0 ? 0 : 1;
}
