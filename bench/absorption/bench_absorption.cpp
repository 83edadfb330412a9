// Message absorption: a flood of mixed status messages on every service
// topic the UI follows, from an external libmosquitto publisher, into the
// real GUI manager with its clients and its window loaded offscreen. Counts
// messages per second from the first to the last one handled (the last is a
// valid ticket, whose sound request marks the end), checks that none was
// lost, and reads the resident memory after a warm-up flood and at the end.
//
//   build/bench/absorption/bench_absorption [messages]
#include "Board.h"
#include "Config.h"
#include "GUIManager.h"
#include "Measure.h"
#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "Terminal.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QStringBuilder>
#include <QTemporaryDir>
#include <QThread>

#include <mosquitto.h>

#include <condition_variable>
#include <ctime>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

using bench::residentKiB;

namespace {

const int TopicsPerRound = 10;
const int Batch = 500;
const QString Marker = QStringLiteral("kivo/inspector/audio/play");

// CPU time of the calling thread.
qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Message n of the flood. Every round touches each service once; the values
// that move on a terminal (temperature, uptime, cards left) move here too, so
// that the clients' change signals and the bindings behind them fire.
QPair<QByteArray, QByteArray> message(int n)
{
    const int round = n / TopicsPerRound;
    const QByteArray r = QByteArray::number(round);
    switch (n % TopicsPerRound) {
    case 0:
        return { "kivo/board/status",
                 "{\"service\":true,\"device\":{\"active\":true,\"ignition\":true,\"poleId\":\"POLE-07\",\"temperature\":"
                     + QByteArray::number(40.0 + (round % 2 ? 0.5 : 0.0) + (round % 100) / 10.0) + ",\"voltage\":27.6,\"uptime\":" + r
                     + ",\"rtc\":\"2026-12-06T10:00:00Z\",\"hardwareStatus\":{\"rtcFailed\":false}}}" };
    case 1:
        return { "kivo/blm/status",
                 "{\"service\":true,\"device\":{\"rfid\":{\"state\":1,\"active\":true,\"error\":\"\",\"slots\":[true,false,false,false],"
                 "\"sams\":[{\"slot\":0,\"enabled\":true,\"unlocked\":true,\"atr\":\"3B DF 18 FF 81 91 FE 1F C3\",\"batch\":\"0102030405\","
                 "\"mode\":\"AV2\",\"name\":\"MIFARE SAM AV2\",\"production\":\"2023-04-17\",\"uid\":\"0A1B2C3D4E5F60\",\"vendor\":\"NXP\","
                 "\"version\":\"2.6\"}]},\"barcode\":{\"active\":true,\"enabled\":true}},\"obu\":{\"vehicleUuid\":\"BUS-1042\"},"
                 "\"route\":{\"axisName\":\"Line 5 Harbour - University\"},"
                 "\"state\":{\"init\":false,\"hasRfid\":true,\"hasObu\":true,\"hasNtp\":true,\"hasRoute\":true}}" };
    case 2:
        return { "kivo/rfid/status", "{\"service\":true,\"device\":{\"state\":1,\"error\":null}}" };
    case 3:
        return { "kivo/dispenser/status",
                 "{\"service\":true,\"device\":{\"active\":true,\"isJammed\":false,\"isCartridgeDoorOpen\":false,\"cardInMouth\":false,"
                 "\"cardInRfid\":true,\"cardsInCartridge\":"
                     + QByteArray::number(100 - round % 100) + "}}" };
    case 4:
        return { "kivo/inspector/status", "{\"service\":true}" };
    case 5:
        return { "kivo/network/status",
                 "{\"service\":true,\"stateStr\":\"connected\",\"connectivityStr\":\"full\",\"hostname\":\"ltxg-0042\","
                 "\"primaryConnection\":{\"interface\":\"eth0\",\"stateStr\":\"activated\",\"typeStr\":\"ethernet\","
                 "\"ipv4\":{\"address\":\"192.168.1.77\",\"netmask\":\"255.255.255.0\",\"gateway\":\"192.168.1.1\","
                 "\"dns0\":\"192.168.1.1\",\"dns1\":\"\"}}}" };
    case 6:
        return { "kivo/network/ethernet/state",
                 "{\"interface\":\"eth0\",\"typeStr\":\"ethernet\",\"stateStr\":\"connected\",\"reasonStr\":\"none\","
                 "\"mac\":\"00:1A:2B:3C:4D:5E\",\"ipv4\":{\"address\":\"192.168.1.77\",\"netmask\":\"255.255.255.0\","
                 "\"gateway\":\"192.168.1.1\",\"dns0\":\"192.168.1.1\",\"dns1\":\"\"}}" };
    case 7:
        return { "kivo/device/status", "{\"service\":true,\"update\":{\"software\":{\"current\":\"1.4.2\",\"pending\":\"\"}}}" };
    case 8:
        return { "kivo/device/clock/ntp/status", "{\"enabled\":true,\"synced\":true}" };
    default:
        return { "kivo/board/display", "{\"brightness\":" + QByteArray::number(50 + round % 50) + ",\"sensor\":55,\"mode\":\"auto\"}" };
    }
}

const QByteArray Ticket = QByteArrayLiteral(
    "{\"transaction\":{\"result\":true,\"type\":0,\"ticketId\":\"T-1\","
    "\"barcode\":{\"fromStopGroupName\":\"Harbour\",\"toStopGroupName\":\"University\",\"transferRemainingMin\":75}}}");

// A plain libmosquitto client publishing from its own thread, as fast as
// it can, in batches (QoS 0, like the services' statuses). Each batch ends
// with a valid ticket, and the next one waits for its sound request: the
// broker never holds more than one batch for the UI, so none is dropped by
// its queue limit and the UI sets the pace.
class Flood
{
public:
    bool start(quint16 port)
    {
        m_mosq = mosquitto_new("bench-flood", true, this);
        if (!m_mosq)
            return false;
        mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_message_callback_set(m_mosq, [](mosquitto *, void *self, const mosquitto_message *) {
            static_cast<Flood *>(self)->answered();
        });
        mosquitto_subscribe_callback_set(m_mosq, [](mosquitto *, void *self, int, int, const int *) {
            static_cast<Flood *>(self)->answered();
        });
        if (mosquitto_connect(m_mosq, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS
            || mosquitto_loop_start(m_mosq) != MOSQ_ERR_SUCCESS)
            return false;
        return send([this] { return mosquitto_subscribe(m_mosq, nullptr, Marker.toUtf8().constData(), 0) == MOSQ_ERR_SUCCESS; });
    }
    ~Flood()
    {
        if (m_mosq) {
            mosquitto_disconnect(m_mosq);
            mosquitto_loop_stop(m_mosq, false);
            mosquitto_destroy(m_mosq);
        }
    }
    // Messages first .. first + count - 1, then the ticket; true once the UI
    // has asked for its sound.
    bool publish(int first, int count)
    {
        return send([&] {
            for (int n = first; n < first + count; ++n) {
                const auto m = message(n);
                if (mosquitto_publish(m_mosq, nullptr, m.first.constData(), m.second.size(), m.second.constData(), 0,
                                      false)
                    != MOSQ_ERR_SUCCESS)
                    return false;
            }
            return mosquitto_publish(m_mosq, nullptr, "kivo/blm/rfid/scanned", Ticket.size(), Ticket.constData(), 0,
                                     false)
                == MOSQ_ERR_SUCCESS;
        });
    }

private:
    void answered()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answered = true;
        m_condition.notify_one();
    }
    template<typename F>
    bool send(F publish)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_answered = false;
        }
        if (!publish())
            return false;
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_condition.wait_for(lock, std::chrono::seconds(30), [this] { return m_answered; });
    }

    mosquitto *m_mosq = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_answered = false;
};

} // namespace

int main(int argc, char *argv[])
{
    bench::defaultToOffscreen();
    QGuiApplication app(argc, argv);
    bench::actAsProgram();
    const int messages = qMax(TopicsPerRound, argc > 1 ? QByteArray(argv[1]).toInt() : 100000) / TopicsPerRound
        * TopicsPerRound;
    const int warmUp = messages / 10;
    mosquitto_lib_init();

    MosquittoBroker broker;
    broker.setQuiet(true);
    if (!broker.start()) {
        std::fprintf(stderr, "broker did not start:\n%s\n", qPrintable(broker.log()));
        return 1;
    }
    MqttPeer observer;
    if (!observer.connectToBroker(broker.host(), broker.port(), QStringLiteral("bench-observer"))
        || !observer.subscribe(QStringLiteral("kivo/rfid/enable"), 1)) {
        std::fprintf(stderr, "observer failed\n");
        return 1;
    }

    QTemporaryDir dir;
    Config config(dir.filePath(QStringLiteral("gui.conf")), GUIManager::Defaults);
    if (!bench::prepareTerminal(dir.path(), config, broker.host(), broker.port()))
        return 1;
    GUIManager gui(config, dir.filePath(QStringLiteral("events.ini")));
    gui.load();
    auto *window = qobject_cast<QQuickWindow *>(gui.parent());
    auto *board = window ? qobject_cast<manager::Board *>(
                      qmlEngine(window)->rootContext()->contextProperty(QStringLiteral("board")).value<QObject *>())
                         : nullptr;
    if (!board) {
        std::fprintf(stderr, "the window did not load\n");
        return 1;
    }
    // Every board status carries another temperature: each one handled is
    // counted where the board client reports it.
    int boardHandled = 0;
    QElapsedTimer clock;
    qint64 firstNs = -1;
    QObject::connect(board, &manager::Board::temperatureChanged, [&] {
        if (firstNs < 0)
            firstNs = clock.nsecsElapsed();
        ++boardHandled;
    });

    // Online first (the UI switches the readers on), as on the terminal.
    if (!observer.publish(QStringLiteral("kivo/blm/status"), message(1).second, 1, true)
        || !observer.waitForMessage(QStringLiteral("kivo/rfid/enable"), 30000)) {
        std::fprintf(stderr, "the UI did not come online\n");
        return 1;
    }
    Flood flood;
    if (!flood.start(broker.port())) {
        std::fprintf(stderr, "publisher failed\n");
        return 1;
    }

    // The GUI thread runs the UI; the flood waits on its own thread. The
    // warm-up fills every client, page and cache once.
    long rssWarm = -1;
    qint64 lastNs = -1;
    qint64 cpuFirstNs = 0;
    qint64 cpuLastNs = 0;
    bool ok = true;
    std::thread driver([&] {
        for (int n = 0; ok && n < warmUp; n += Batch)
            ok = flood.publish(n, qMin(Batch, warmUp - n));
        QThread::msleep(500); // deferred deletions and a frame or two
        rssWarm = residentKiB();
        QMetaObject::invokeMethod(board, [&] {
            boardHandled = 0;
            firstNs = -1;
            clock.start();
            cpuFirstNs = threadCpuNs();
        }, Qt::BlockingQueuedConnection);
        for (int n = warmUp; ok && n < warmUp + messages; n += Batch)
            ok = flood.publish(n, qMin(Batch, warmUp + messages - n));
        QMetaObject::invokeMethod(board, [&] {
            lastNs = clock.nsecsElapsed();
            cpuLastNs = threadCpuNs();
        }, Qt::BlockingQueuedConnection);
        QThread::msleep(500);
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    driver.join();
    if (!ok) {
        std::fprintf(stderr, "the UI stopped answering the flood\n");
        return 1;
    }
    const long rssEnd = residentKiB();

    const int boardSent = messages / TopicsPerRound;
    const double seconds = (lastNs - firstNs) / 1e9;
    const double rate = messages / seconds;
    std::printf("messages              %d on %d topics in batches of %d, each ended by a ticket (after a warm-up of %d)\n",
                messages, TopicsPerRound, Batch, warmUp);
    std::printf("handled               board statuses %d of %d%s\n", boardHandled, boardSent,
                boardHandled == boardSent ? "" : "  LOST MESSAGES");
    std::printf("absorbed              %.0f messages/s over %.3f s (goal >= 50000: %s)\n", rate, seconds,
                rate >= 50000 ? "met" : "MISSED");
    const double cpuUs = (cpuLastNs - cpuFirstNs) / 1e3 / messages;
    std::printf("GUI thread            %.1f us of CPU per message: %.0f messages/s if it had a core to itself\n", cpuUs,
                1e6 / cpuUs);
    std::printf("resident memory       %.1f MB after warm-up, %.1f MB at the end (%+.1f MB)\n", rssWarm / 1024.0,
                rssEnd / 1024.0, (rssEnd - rssWarm) / 1024.0);
    return boardHandled == boardSent ? 0 : 1;
}
