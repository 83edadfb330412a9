#include "ProgramProcess.h"
#include "logger.h"

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
    std::fprintf(stdout, "SYSLOG %d %s\n", priority, QByteArray(record).replace('\n', "\\n").constData());
    std::fflush(stdout);
}

namespace {

Q_LOGGING_CATEGORY(lcApp, "app")
Q_LOGGING_CATEGORY(lcQt, "qt.test")

// Helper mode: "tst_logger --emit key=value ..." sets the logger up as asked,
// writes a scenario's messages and exits (or aborts, for a fatal message).
int runHelper(int argc, char *argv[])
{
    const rlimit noCore { 0, 0 };
    setrlimit(RLIMIT_CORE, &noCore);
    QCoreApplication app(argc, argv);
    QMap<QString, QString> options;
    for (int i = 2; i < argc; ++i)
        options.insert(QString::fromLocal8Bit(argv[i]).section('=', 0, 0), QString::fromLocal8Bit(argv[i]).section('=', 1));
    Logger *logger = Logger::instance();
    logger->setSyslog(options.value("syslog") == "1");
    logger->setStderr(options.value("stderr", "1") == "1");
    if (options.contains("level"))
        logger->setLevel(options.value("level").toInt());

    // Time stamps count from the logger's start.
    QThread::msleep(50);
    if (options.contains("fatal")) {
        qInfo("before");
        qFatal("boom");
    }
    const QLoggingCategory *const categories[] = { &lcApp(), &lcQt(), QLoggingCategory::defaultCategory() };
    for (const QLoggingCategory *category : categories) {
        const char *name = category->categoryName();
        QMessageLogger().debug(*category, "%s-debug", name);
        QMessageLogger().info(*category, "%s-info", name);
        QMessageLogger().warning(*category, "%s-warning", name);
        QMessageLogger().critical(*category, "%s-critical", name);
    }
    return 0;
}

} // namespace

class tst_Logger : public QObject
{
    Q_OBJECT

private:
    // What passes at a level (0 error .. 4 trace): critical always, lower
    // severities by level, "qt." categories at trace only.
    static QStringList expectedAt(int level)
    {
        const QStringList kinds { "critical", "warning", "info", "debug" };
        QStringList result;
        for (const QString category : { "app", "qt.test", "default" }) {
            for (const QString kind : { "debug", "info", "warning", "critical" }) {
                if (category == QLatin1String("qt.test") ? level == 4 : kinds.indexOf(kind) <= level)
                    result << category + '-' + kind;
            }
        }
        return result;
    }

    QTemporaryDir m_home;

private slots:
    void output_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("crashes");
        QTest::addColumn<QStringList>("lines"); // standard error, then the system log as "<priority> <record>"
        for (int level : { 0, 2, 4 })
            QTest::addRow("level %d", level) << QStringList { QStringLiteral("level=%1").arg(level) } << false << expectedAt(level);
        QTest::newRow("system log") << QStringList { "level=3", "stderr=0", "syslog=1" } << false
                                    << QStringList { "7 [debug] app-debug", "6 app-info", "4 [warning] app-warning",
                                                     "2 [error] app-critical", "7 [debug] default-debug", "6 default-info",
                                                     "4 [warning] default-warning", "2 [error] default-critical" };
        // A fatal message goes to both outputs, and then ends the process.
        QTest::newRow("fatal") << QStringList { "fatal", "syslog=1" } << true
                               << QStringList { "before", "<where> - boom", "6 before", "3 [fatal] <where> - boom" };
    }

    // Each line has its time stamp (seconds since start, right-aligned in 9
    // places with 3 decimals), checked and taken off; the place of a fatal
    // message shows as "<where>".
    void output()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, crashes);
        QFETCH(QStringList, lines);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // Nothing from the test machine may override the logger's own rules and pattern.
        for (const char *name : { "QT_LOGGING_RULES", "QT_MESSAGE_PATTERN", "QT_LOGGING_CONF", "QT_FATAL_WARNINGS" })
            env.remove(QString::fromLatin1(name));
        env.insert("XDG_CONFIG_HOME", m_home.path());
        QProcess process;
        process.setProcessEnvironment(env);
        ProgramProcess::start(process, QCoreApplication::applicationFilePath(), QStringList { "--emit" } + options);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus() == QProcess::CrashExit, crashes);
        QVERIFY(crashes || process.exitCode() == 0);
        // Under emulation qemu reports the crash on standard error too.
        QStringList written = QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts)
                                  .filter(QRegularExpression("^(?!qemu: uncaught target signal)"));
        for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
            written << line.mid(7);
        static const QRegularExpression stamp("^(\\d )?\\[( *\\d+\\.\\d{3})\\] (.*)$");
        static const QRegularExpression where("^(\\[fatal\\] )?.+ at .+:\\d+ \\(\\d+:\\d+:0x[0-9a-f]+\\) ");
        for (QString &line : written) {
            const QRegularExpressionMatch m = stamp.match(line);
            QVERIFY2(m.hasMatch() && m.captured(2).length() == 9 && m.captured(2).toDouble() >= 0.05 && m.captured(2).toDouble() <= 60,
                     qPrintable(line));
            line = m.captured(1) + m.captured(3).replace(where, "\\1<where> ");
        }
        QCOMPARE(written, lines);
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
