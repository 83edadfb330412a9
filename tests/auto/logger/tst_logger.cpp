#include "ProgramProcess.h"
#include "logger.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <syslog.h>

using manager::Logger;

// The whole test binary routes syslog() here, so the machine's system log is
// never touched. The helper process prints each record on standard output as
// "SYSLOG <priority> <record>", with line feeds inside a record made visible.
extern "C" void syslog(int priority, const char *format, ...)
{
    char record[8192];
    va_list args;
    va_start(args, format);
    vsnprintf(record, sizeof record, format, args);
    va_end(args);
    QByteArray text(record);
    text.replace('\n', "\\n");
    std::fprintf(stdout, "SYSLOG %d %s\n", priority, text.constData());
    std::fflush(stdout);
}

namespace {

Q_LOGGING_CATEGORY(lcApp, "ltxg.test")
Q_LOGGING_CATEGORY(lcQt, "qt.ltxgtest")

void emitAllKinds()
{
    qDebug("default-debug");
    qInfo("default-info");
    qWarning("default-warning");
    qCritical("default-critical");
    qCDebug(lcApp, "app-debug");
    qCInfo(lcApp, "app-info");
    qCWarning(lcApp, "app-warning");
    qCCritical(lcApp, "app-critical");
    qCDebug(lcQt, "qt-debug");
    qCInfo(lcQt, "qt-info");
    qCWarning(lcQt, "qt-warning");
    qCCritical(lcQt, "qt-critical");
}

// Helper mode: "tst_logger --emit key=value ..." sets the logger up as asked,
// writes a scenario's messages and exits (or aborts, for a fatal message).
int runHelper(int argc, char *argv[])
{
    const rlimit noCore { 0, 0 };
    setrlimit(RLIMIT_CORE, &noCore);

    QCoreApplication app(argc, argv);
    QMap<QString, QString> options;
    for (int i = 2; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        options.insert(arg.section('=', 0, 0), arg.section('=', 1));
    }

    Logger *logger = Logger::instance();
    logger->setSyslog(options.value("syslog") == "1");
    logger->setStderr(options.value("stderr") == "1");
    logger->setColor(options.value("color") == "1");
    if (options.contains("level"))
        logger->setLevel(options.value("level").toInt());
    if (options.contains("raw"))
        logger->setLevel(static_cast<Logger::Level>(options.value("raw").toInt()));

    const QString scenario = options.value("scenario", "all");
    if (scenario == "all") {
        emitAllKinds();
    } else if (scenario == "late") {
        QThread::msleep(300);
        qInfo("late");
    } else if (scenario == "fatal") {
        qInfo("before");
        qFatal("boom");
    }
    return 0;
}

} // namespace

class tst_Logger : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        QProcess::ExitStatus status = QProcess::CrashExit;
        int exitCode = -1;
        QStringList err; // standard error lines
        QStringList syslog; // "<priority> <record>"
    };

    Run run(const QStringList &options)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // Nothing from the test machine may override the logger's own rules
        // and pattern.
        for (const char *name : { "QT_LOGGING_RULES", "QT_MESSAGE_PATTERN", "QT_LOGGING_CONF", "QT_FATAL_WARNINGS" })
            env.remove(QString::fromLatin1(name));
        env.insert("XDG_CONFIG_HOME", m_home.path());

        QProcess process;
        process.setProcessEnvironment(env);
        ProgramProcess::start(process, QCoreApplication::applicationFilePath(), QStringList { "--emit" } + options);
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
        }
        Run result;
        result.status = process.exitStatus();
        result.exitCode = process.exitCode();
        const QString err = QString::fromUtf8(process.readAllStandardError());
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = err.split('\n', Qt::SkipEmptyParts);
        // Under emulation qemu reports the crash on the same stream.
        result.err = result.err.filter(QRegularExpression("^(?!qemu: uncaught target signal)"));
        for (const QString &line : out.split('\n', Qt::SkipEmptyParts)) {
            if (line.startsWith("SYSLOG "))
                result.syslog << line.mid(7);
        }
        return result;
    }

    // Checks the time stamp of each line ("[" + seconds right-aligned in 9
    // places with 3 decimals + "] ") and returns the rest of each line.
    static QStringList stripStamps(const QStringList &lines, QList<double> *seconds = nullptr)
    {
        static const QRegularExpression stamp("^\\[( *\\d+\\.\\d{3})\\] (.*)$");
        QStringList texts;
        for (const QString &line : lines) {
            const QRegularExpressionMatch m = stamp.match(line);
            if (!m.hasMatch() || m.captured(1).length() != 9) {
                qWarning("malformed line: %s", qPrintable(line));
                return { QStringLiteral("<malformed>") };
            }
            if (seconds)
                seconds->append(m.captured(1).toDouble());
            texts << m.captured(2);
        }
        return texts;
    }

    // What passes at a level (0 error .. 4 trace): critical always, lower
    // severities by level, the "qt." categories only at trace.
    static QStringList expectedAt(int level)
    {
        const QStringList kinds { "critical", "warning", "info", "debug" };
        QStringList result;
        for (const QString &category : QStringList { "default", "app", "qt" }) {
            for (const QString &kind : QStringList { "debug", "info", "warning", "critical" }) {
                const bool passes = category == QLatin1String("qt") ? level == 4 : kinds.indexOf(kind) <= level;
                if (passes)
                    result << category + '-' + kind;
            }
        }
        return result;
    }

    QTemporaryDir m_home;

private slots:
    void instanceAndDefaults()
    {
        // Keep Qt Test's own handler: the logger replaces whatever is installed.
        const QtMessageHandler testHandler = qInstallMessageHandler(nullptr);
        qInstallMessageHandler(testHandler);

        const double before = double(QDateTime::currentMSecsSinceEpoch());
        Logger *logger = Logger::instance();
        const double after = double(QDateTime::currentMSecsSinceEpoch());
        const bool syslogByDefault = logger->getSyslog();
        logger->setSyslog(false);
        qInstallMessageHandler(testHandler);

        QVERIFY(syslogByDefault);
        QVERIFY(!logger->getStderr());
        QCOMPARE(Logger::instance(), logger);
        // Milliseconds since the epoch, taken at construction.
        QVERIFY2(logger->getStartTime() >= before - 1 && logger->getStartTime() <= after + 1,
                 qPrintable(QString::number(logger->getStartTime(), 'f', 3)));

        QMutex *mutex = logger->getMutex();
        QVERIFY(mutex);
        QCOMPARE(logger->getMutex(), mutex);
        QVERIFY(mutex->try_lock()); // setters release it
        mutex->unlock();

        logger->setStderr(true);
        QVERIFY(logger->getStderr());
        logger->setStderr(false);
        QVERIFY(!logger->getStderr());
        logger->setSyslog(true);
        QVERIFY(logger->getSyslog());
        logger->setSyslog(false);

        QCOMPARE(int(sizeof(Logger::Level)), 4);
        QCOMPARE(int(Logger::ERROR), 0);
        QCOMPARE(int(Logger::TRACE), 4);
        QCOMPARE(int(std::strlen(Logger::ColorPattern)), 293);
    }

    void levels_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("effective");
        QTest::newRow("0 error") << QStringList { "level=0" } << 0;
        QTest::newRow("1 warning") << QStringList { "level=1" } << 1;
        QTest::newRow("2 info") << QStringList { "level=2" } << 2;
        QTest::newRow("3 debug") << QStringList { "level=3" } << 3;
        QTest::newRow("4 trace") << QStringList { "level=4" } << 4;
        QTest::newRow("7 is info") << QStringList { "level=7" } << 2;
        QTest::newRow("-1 is info") << QStringList { "level=-1" } << 2;
        QTest::newRow("level value 9 ignored") << QStringList { "level=3", "raw=9" } << 3;
        QTest::newRow("level value -1 ignored") << QStringList { "level=0", "raw=-1" } << 0;
        QTest::newRow("info by default") << QStringList {} << 2;
    }

    void levels()
    {
        QFETCH(QStringList, options);
        QFETCH(int, effective);

        const Run r = run(options + QStringList { "stderr=1", "syslog=0" });
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(stripStamps(r.err), expectedAt(effective));
        QVERIFY(r.syslog.isEmpty());
    }

    void syslogRecords()
    {
        const Run r = run({ "level=3", "stderr=0", "syslog=1" });
        QCOMPARE(r.status, QProcess::NormalExit);
        QVERIFY(r.err.isEmpty());
        QCOMPARE(r.syslog.size(), 8);

        // "<priority> [<stamp>] <tag><text>", one record per message, no line feed.
        static const QRegularExpression record("^(\\d) \\[( *\\d+\\.\\d{3})\\] (.*)$");
        QStringList seen;
        for (const QString &line : r.syslog) {
            const QRegularExpressionMatch m = record.match(line);
            QVERIFY2(m.hasMatch() && m.captured(2).length() == 9, qPrintable(line));
            seen << m.captured(1) + ' ' + m.captured(3);
        }
        const QStringList expected {
            "7 [debug] default-debug", "6 default-info", "4 [warning] default-warning", "2 [error] default-critical",
            "7 [debug] app-debug", "6 app-info", "4 [warning] app-warning", "2 [error] app-critical",
        };
        QCOMPARE(seen, expected);
    }

    void color()
    {
        const Run r = run({ "level=3", "stderr=1", "color=1" });
        QCOMPARE(r.status, QProcess::NormalExit);
        const QString esc(QChar(0x1b));
        const QStringList expected {
            esc + "[35mdefault-debug" + esc + "[39m",
            "default-info",
            esc + "[33mdefault-warning" + esc + "[39m",
            esc + "[31mdefault-critical" + esc + "[39m",
            "[ltxg.test] " + esc + "[35mapp-debug" + esc + "[39m",
            "[ltxg.test] app-info",
            "[ltxg.test] " + esc + "[33mapp-warning" + esc + "[39m",
            "[ltxg.test] " + esc + "[31mapp-critical" + esc + "[39m",
        };
        QCOMPARE(stripStamps(r.err), expected);

        // Back to plain text.
        const Run plain = run({ "level=3", "stderr=1", "color=0" });
        QCOMPARE(stripStamps(plain.err), expectedAt(3));
    }

    void fatal()
    {
        // Fatal passes even at the error level, is written to both outputs
        // and then ends the process.
        const Run r = run({ "scenario=fatal", "level=0", "stderr=1", "syslog=1", "color=1" });
        QCOMPARE(r.status, QProcess::CrashExit);
        const QStringList texts = stripStamps(r.err);
        QCOMPARE(texts.size(), 1);
        const QString esc(QChar(0x1b));
        const QRegularExpression fatalText("^.+ at .+:\\d+ \\(\\d+:\\d+:0x[0-9a-f]+\\) - " + esc + "\\[31mboom" + esc + "\\[39m$");
        QVERIFY2(fatalText.match(texts.at(0)).hasMatch(), qPrintable(texts.at(0)));
        QCOMPARE(r.syslog.size(), 1);
        QVERIFY2(r.syslog.at(0).startsWith("3 ["), qPrintable(r.syslog.at(0)));
        QVERIFY2(r.syslog.at(0).contains("] [fatal] ") && r.syslog.at(0).endsWith("boom" + esc + "[39m"),
                 qPrintable(r.syslog.at(0)));

        const Run plain = run({ "scenario=fatal", "level=2", "stderr=1" });
        QCOMPARE(plain.status, QProcess::CrashExit);
        const QStringList plainTexts = stripStamps(plain.err);
        QCOMPARE(plainTexts.size(), 2);
        QCOMPARE(plainTexts.at(0), QStringLiteral("before"));
        QVERIFY2(QRegularExpression("^.+ at .+:\\d+ \\(\\d+:\\d+:0x[0-9a-f]+\\) - boom$").match(plainTexts.at(1)).hasMatch(),
                 qPrintable(plainTexts.at(1)));

        // With both outputs off a fatal message still ends the process.
        const Run silent = run({ "scenario=fatal", "stderr=0", "syslog=0" });
        QCOMPARE(silent.status, QProcess::CrashExit);
        QVERIFY(silent.err.isEmpty());
        QVERIFY(silent.syslog.isEmpty());
    }

    void bothOutputsOff()
    {
        const Run r = run({ "level=4", "stderr=0", "syslog=0" });
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.isEmpty());
        QVERIFY(r.syslog.isEmpty());
    }

    void elapsedSeconds()
    {
        // The helper waits 300 ms after creating the logger.
        const Run r = run({ "scenario=late", "stderr=1" });
        QList<double> seconds;
        QCOMPARE(stripStamps(r.err, &seconds), QStringList { "late" });
        QVERIFY2(seconds.at(0) >= 0.3 && seconds.at(0) < 60.0, qPrintable(QString::number(seconds.at(0))));
    }
};

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--emit") == 0)
        return runHelper(argc, argv);

    QCoreApplication app(argc, argv);
    tst_Logger test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logger.moc"
