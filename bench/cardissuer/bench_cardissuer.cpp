// Cost of a full issuing cycle (empty terminal to card taken) against fake
// services that answer at once, beside the raw libmosquitto round trip to an
// instant echo peer through the same broker, in one run. The cycle is
// compared with the round trips it cannot do without.
//
//   build/bench/cardissuer/bench_cardissuer [cycles]
#include "CardIssuer.h"
#include "Dispenser.h"
#include "FakeCardService.h"
#include "LTXGv1Card.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttPeer.h"
#include "RawRequester.h"
#include "RFID.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QEventLoop>
#include <QTimer>

#include <mosquitto.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}


Card::Ptr entryCard()
{
    auto card = LTXGv1Card::Ptr::create();
    card->setCustomsId(1);
    card->setStatus(QStringLiteral("active"));
    card->incrUsageCounter(1);
    card->addUsageLog(QStringLiteral("entry"), QStringLiteral("bench"), QStringLiteral("kivo-rnd"));
    return card;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int cycles = argc > 1 && QByteArray(argv[1]).toInt() > 0 ? QByteArray(argv[1]).toInt() : 200;
    mosquitto_lib_init();

    // The issuer's log lines would dominate what is measured; with --trace
    // the last cycle's lines are kept with their times instead.
    const bool trace = app.arguments().contains(QStringLiteral("--trace"));
    static QElapsedTimer clock;
    static QStringList traced;
    static bool tracing = false;
    clock.start();
    // The terminal runs at log level info: debug lines are filtered before
    // they are formatted, as the logger's rules do.
    if (!trace)
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    qSetMessagePattern(QString());
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (tracing)
            traced << QStringLiteral("%1 us  %2").arg(clock.nsecsElapsed() / 1000, 8).arg(message);
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });

    MosquittoBroker broker;
    broker.setQuiet(true);
    if (!broker.start()) {
        std::fprintf(stderr, "broker did not start:\n%s\n", qPrintable(broker.log()));
        return 1;
    }
    FakeCardService fake(broker);
    MqttPeer echo;
    RawRequester raw;
    // The issuer hears card events through the clients' own wildcard and
    // permanent subscriptions, so the fake need not watch for its listeners.
    fake.setEventsWithoutListener(true);
    if (!fake.start()) {
        std::fprintf(stderr, "fake services failed\n");
        return 1;
    }
    if (!echo.connectToBroker(broker.host(), broker.port(), QStringLiteral("bench-echo"))
        || !echo.setResponder(QStringLiteral("bench/raw/request/+"),
                              [](const QString &, const QByteArray &payload) -> std::optional<QByteArray> {
                                  return payload;
                              })
        || !raw.start(broker.port())) {
        std::fprintf(stderr, "echo peer failed\n");
        return 1;
    }

    manager::MqttClient mqtt;
    mqtt.setHostname(broker.host());
    mqtt.setPort(broker.port());
    mqtt.setClientId(QStringLiteral("bench-ui"));
    manager::RFID rfid(mqtt, QStringLiteral("kivo/rfid"));
    manager::Dispenser dispenser(mqtt, QStringLiteral("kivo/dispenser"));
    manager::CardIssuer issuer(rfid, dispenser);
    {
        QEventLoop loop;
        QObject::connect(&issuer, &manager::CardIssuer::stateChanged, &loop, [&] {
            if (issuer.state() == manager::CardIssuer::Ready)
                loop.quit();
        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        mqtt.connect();
        loop.exec();
    }
    if (issuer.state() != manager::CardIssuer::Ready) {
        std::fprintf(stderr, "issuer not ready\n");
        return 1;
    }

    // Device events the cycle waits for, each one a round trip (subscribe,
    // then the event).
    int events = 0;
    QObject::connect(&mqtt, &manager::MqttClient::received, [&events](const QByteArray &, const QByteArray &topic) {
        if (topic == "kivo/rfid/card/found" || topic == "kivo/dispenser/card/removed")
            ++events;
    });

    auto cycle = [&]() {
        QElapsedTimer timer;
        timer.start();
        double elapsed = -1;
        bool settled = false;
        QEventLoop loop;
        issuer.issueCard(entryCard(), 60)
            .done([&](const manager::CardIssuer::Result &) {
                elapsed = timer.nsecsElapsed() / 1000.0;
                settled = true;
                loop.quit();
            })
            .fail([&](const manager::CardIssuer::Result &r) {
                std::fprintf(stderr, "cycle failed: %s\n", qPrintable(r.error));
                settled = true;
                loop.quit();
            });
        if (!settled)
            loop.exec();
        // The reader's Idle and the dispenser's last status come after the
        // result; the next cycle starts from an empty terminal.
        QElapsedTimer wait;
        wait.start();
        while ((issuer.state() != manager::CardIssuer::Ready || rfid.state() != manager::RFID::Idle)
               && wait.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        return elapsed;
    };

    // Warm-up, and the round trips one cycle needs.
    for (int i = 0; i < 10; ++i) {
        cycle();
        raw.call(i);
    }
    fake.clearRequests();
    events = 0;
    cycle();
    const int requests = fake.calls().size();
    const int waits = events;
    const int roundTrips = requests + waits;

    std::vector<double> rawUs, cycleUs;
    int failures = 0;
    for (int i = 0; i < cycles; ++i) {
        const double c = cycle();
        // As many raw round trips as the cycle makes, under the same load.
        for (int k = 0; k < roundTrips; ++k) {
            const double r = raw.call(i * roundTrips + k);
            if (r >= 0)
                rawUs.push_back(r);
        }
        if (c < 0) {
            ++failures;
            continue;
        }
        cycleUs.push_back(c);
        if (i % 20 == 0) {
            echo.clear();
            fake.clearRequests();
        }
    }
    if (trace) {
        tracing = true;
        clock.restart();
        cycle();
        tracing = false;
        for (const QString &line : qAsConst(traced)) {
            if (!line.contains(QLatin1String("\n")))
                std::printf("%s\n", qPrintable(line));
        }
    }
    if (cycleUs.empty() || rawUs.empty()) {
        std::fprintf(stderr, "no cycle succeeded\n");
        return 1;
    }
    const double rawMedian = median(rawUs);
    const double cycleMedian = median(cycleUs);
    const double budget = 1.3 * roundTrips * rawMedian;
    std::printf("cycles                %d (failed %d)\n", cycles, failures);
    std::printf("round trips / cycle   %d (%d requests, %d device events)\n", roundTrips, requests, waits);
    std::printf("raw round trip        median %8.1f us\n", rawMedian);
    std::printf("issuing cycle         median %8.1f us\n", cycleMedian);
    std::printf("cycle / round trips   %8.2f x raw (goal <= 1.30)\n", cycleMedian / (roundTrips * rawMedian));
    std::printf("goal                  %s (budget %.1f us)\n", cycleMedian <= budget ? "met" : "NOT met", budget);
    // The device events follow the answers at once here, so they add little
    // beyond the requests' own round trips: the stricter view.
    std::printf("cycle / requests only %8.2f x raw\n", cycleMedian / (requests * rawMedian));
    return failures == 0 ? 0 : 1;
}
