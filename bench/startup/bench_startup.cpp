// Start-up of the real program against a bare Qt Quick Controls 2 window
// (Material style, one label): process start to first frame, and peak
// resident memory (VmHWM) at the first frame and once the window has settled
// for a second. Both on the same platform (offscreen unless QT_QPA_PLATFORM
// says otherwise), runs alternated so that both see the same machine; medians.
// The program runs from a copy in a scratch folder, so that its event log
// (kept next to the executable) is known: empty, as on a new terminal, and
// full (1000 events), as on one in service.
//
//   build/bench/startup/bench_startup [runs]
#include "MosquittoBroker.h"
#include "Terminal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QByteArray Marker = QByteArrayLiteral("LTXG-BENCH-FIRST-FRAME");
const int TimeoutMs = 60000;
const int SettleMs = 1000;

struct Run
{
    double ms = -1;
    long hwmAtFrameKiB = -1;
    long hwmKiB = -1;
};

long statusKiB(qint64 pid, const char *key)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

Run measure(const QString &program, const QStringList &arguments, const QString &workDir)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!environment.contains(QStringLiteral("QT_QUICK_BACKEND")))
        environment.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    environment.insert(QStringLiteral("LTXG_FIRST_FRAME_MARKER"), QString::fromLatin1(Marker));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workDir);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setReadChannel(QProcess::StandardError);

    Run run;
    QByteArray output;
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    while (!output.contains(Marker)) {
        if (!process.waitForReadyRead(int(qMax<qint64>(1, TimeoutMs - timer.elapsed())))) {
            std::fprintf(stderr, "%s: no first frame\n%s\n", qPrintable(program), output.right(4000).constData());
            process.kill();
            process.waitForFinished();
            return run;
        }
        output += process.readAllStandardError();
    }
    run.ms = timer.nsecsElapsed() / 1e6;
    run.hwmAtFrameKiB = statusKiB(process.processId(), "VmHWM:");
    // Timers, the broker connection and the first messages come next.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < SettleMs) {
        process.waitForReadyRead(int(SettleMs - settle.elapsed()));
        process.readAllStandardError();
    }
    run.hwmKiB = statusKiB(process.processId(), "VmHWM:");
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
    return run;
}

template<typename T>
T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Summary
{
    double ms = 0, minMs = 0, maxMs = 0;
    long hwmAtFrameKiB = 0, hwmKiB = 0;
};

Summary summarise(const std::vector<Run> &runs)
{
    std::vector<double> ms;
    std::vector<long> atFrame, hwm;
    for (const Run &r : runs) {
        ms.push_back(r.ms);
        atFrame.push_back(r.hwmAtFrameKiB);
        hwm.push_back(r.hwmKiB);
    }
    return { median(ms), *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()),
             median(atFrame), median(hwm) };
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = qMax(1, argc > 1 ? QByteArray(argv[1]).toInt() : 15);

    MosquittoBroker broker;
    broker.setQuiet(true);
    if (!broker.start()) {
        std::fprintf(stderr, "broker did not start:\n%s\n", qPrintable(broker.log()));
        return 1;
    }
    // The program as installed, but logging to standard error only (the
    // system log of a shared machine is not ours to fill).
    QTemporaryDir dir;
    QFile serial(dir.filePath(QStringLiteral("serialnumber")));
    QFile conf(dir.filePath(QStringLiteral("gui.conf")));
    if (!serial.open(QIODevice::WriteOnly) || !conf.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write into %s\n", qPrintable(dir.path()));
        return 1;
    }
    serial.write("K00000042\n");
    serial.close();
    conf.write("[gui]\ndeviceId=" + serial.fileName().toUtf8() + "\n[log]\nsyslog=false\n");
    conf.close();

    const QString program = dir.filePath(QStringLiteral("LTXGTerminalUI"));
    if (!QFile::copy(QStringLiteral(LTXG_BINARY), program)) {
        std::fprintf(stderr, "cannot copy the program into %s\n", qPrintable(dir.path()));
        return 1;
    }
    const QString log = dir.filePath(QStringLiteral("events.ini"));
    const QString fullLog = dir.filePath(QStringLiteral("events-full.ini"));
    bench::writeEventLog(fullLog, 1000);
    const auto startWith = [&](bool full) {
        QFile::remove(log);
        return !full || QFile::copy(fullLog, log);
    };
    const QStringList arguments = { QStringLiteral("-H"), broker.host(), QStringLiteral("-P"), QString::number(broker.port()) };
    const QString floor = QStringLiteral(LTXG_FLOOR);

    // One of each first, to fill the page cache.
    measure(floor, {}, dir.path());
    startWith(false);
    measure(program, arguments, dir.path());

    std::vector<Run> floorRuns, freshRuns, fullRuns;
    for (int i = 0; i < runs; ++i) {
        const Run f = measure(floor, {}, dir.path());
        const Run fresh = startWith(false) ? measure(program, arguments, dir.path()) : Run();
        const Run full = startWith(true) ? measure(program, arguments, dir.path()) : Run();
        if (f.ms < 0 || fresh.ms < 0 || full.ms < 0)
            return 1;
        floorRuns.push_back(f);
        freshRuns.push_back(fresh);
        fullRuns.push_back(full);
    }

    const Summary f = summarise(floorRuns);
    std::printf("runs                  %d each, alternated\n", runs);
    std::printf("bare window           first frame median %7.1f ms (%.1f-%.1f)   peak memory %6.1f MB at first frame, %6.1f MB after %d s\n",
                f.ms, f.minMs, f.maxMs, f.hwmAtFrameKiB / 1024.0, f.hwmKiB / 1024.0, SettleMs / 1000);
    const std::vector<std::pair<const char *, const std::vector<Run> *>> variants {
        { "empty event log", &freshRuns }, { "1000 logged events", &fullRuns } };
    for (const auto &variant : variants) {
        const Summary p = summarise(*variant.second);
        const double timeRatio = p.ms / f.ms;
        const double memoryRatio = double(p.hwmKiB) / double(f.hwmKiB);
        std::printf("LTXGTerminalUI        %s\n", variant.first);
        std::printf("                      first frame median %7.1f ms (%.1f-%.1f)   peak memory %6.1f MB at first frame, %6.1f MB after %d s\n",
                    p.ms, p.minMs, p.maxMs, p.hwmAtFrameKiB / 1024.0, p.hwmKiB / 1024.0, SettleMs / 1000);
        std::printf("  ratio               time %.2f (goal <= 1.5: %s)   memory %.2f (goal <= 1.3: %s)\n", timeRatio,
                    timeRatio <= 1.5 ? "met" : "MISSED", memoryRatio, memoryRatio <= 1.3 ? "met" : "MISSED");
    }
    return 0;
}
