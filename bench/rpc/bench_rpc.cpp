// Round-trip cost of executeRpc against the raw libmosquitto round trip to
// the same instant echo peer through the same broker, in one run.
//
//   build/bench/rpc/bench_rpc [calls]
#include "Measure.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttPeer.h"
#include "MqttSubscription.h"
#include "RawRequester.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <mosquitto.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

using bench::Stats;
using bench::residentKiB;
using bench::stats;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    mosquitto_lib_init();

    MosquittoBroker broker;
    broker.setQuiet(true);
    if (!broker.start()) {
        std::fprintf(stderr, "broker did not start:\n%s\n", qPrintable(broker.log()));
        return 1;
    }
    MqttPeer echo;
    if (!echo.connectToBroker(broker.host(), broker.port(), QStringLiteral("bench-echo"))
        || !echo.setResponder(QStringLiteral("bench/+/request/+"),
                              [](const QString &, const QByteArray &payload) -> std::optional<QByteArray> {
                                  return payload;
                              })) {
        std::fprintf(stderr, "echo peer failed\n");
        return 1;
    }

    RawRequester raw;
    if (!raw.start(broker.port())) {
        std::fprintf(stderr, "raw requester failed\n");
        return 1;
    }

    // Logging of every call would dominate what is measured.
    qSetMessagePattern(QString());
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type >= QtWarningMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });

    manager::MqttClient client;
    client.setHostname(broker.host());
    client.setPort(broker.port());
    client.setClientId(QStringLiteral("bench-ui"));
    {
        QEventLoop loop;
        QObject::connect(&client, &manager::MqttClient::connected, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        client.connect();
        loop.exec();
    }

    auto rpc = [&client](int i) {
        QElapsedTimer timer;
        timer.start();
        double elapsed = -1;
        bool settled = false;
        QEventLoop loop;
        client.executeRpc(QStringLiteral("bench/rpc"), QString::number(i), QJsonObject{ { "n", i } })
            .done([&](const QJsonValue &) {
                elapsed = timer.nsecsElapsed() / 1000.0;
                settled = true;
                loop.quit();
            })
            .fail([&](const QJsonValue &) {
                settled = true;
                loop.quit();
            });
        if (!settled)
            loop.exec();
        return elapsed;
    };

    // Warm-up of both paths, then the memory baseline.
    for (int i = 0; i < 200; ++i) {
        raw.call(i);
        rpc(i);
    }
    QCoreApplication::processEvents();
    echo.clear();
    const long rssBefore = residentKiB();

    std::vector<double> rawUs, rpcUs;
    rawUs.reserve(calls);
    rpcUs.reserve(calls);
    int failures = 0;
    // Interleaved, so that both see the same machine load.
    for (int i = 0; i < calls; ++i) {
        const double r = raw.call(i);
        const double c = rpc(i);
        if (r < 0 || c < 0) {
            ++failures;
            continue;
        }
        rawUs.push_back(r);
        rpcUs.push_back(c);
        // The echo peer lives in this process and records what it receives.
        if (i % 500 == 0)
            echo.clear();
    }
    echo.clear();
    // Let the last calls' unsubscriptions be acknowledged and their objects
    // deleted.
    {
        QEventLoop settle;
        QTimer::singleShot(500, &settle, &QEventLoop::quit);
        settle.exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    const long rssAfter = residentKiB();

    auto *transport = client.findChild<manager::MqttTransport *>();
    const int subscriptionsLeft = transport ? transport->findChildren<manager::MqttSubscription *>().size() : -1;
    const int timersLeft = client.findChildren<QTimer *>().size() - 1; // less the connection timer

    if (rawUs.empty()) {
        std::fprintf(stderr, "no call succeeded\n");
        return 1;
    }
    const Stats r = stats(rawUs);
    const Stats c = stats(rpcUs);
    std::printf("calls                 %d (failed %d)\n", calls, failures);
    std::printf("raw round trip        median %8.1f us   p99 %8.1f us\n", r.median, r.p99);
    std::printf("executeRpc            median %8.1f us   p99 %8.1f us\n", c.median, c.p99);
    std::printf("executeRpc adds       median %8.1f us   p99 %8.1f us\n", c.median - r.median, c.p99 - r.p99);
    std::printf("resident memory       before %ld KiB   after %ld KiB\n", rssBefore, rssAfter);
    std::printf("left behind           %d subscriptions, %d timers\n", subscriptionsLeft, timersLeft);
    return failures == 0 && subscriptionsLeft == 0 && timersLeft == 0 ? 0 : 1;
}
