#include "CommandLine.h"
#include "ProgramProcess.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The command line and the start-up of the real executable.
class tst_Startup : public QObject
{
    Q_OBJECT

    struct Run
    {
        int exitCode = -1; // 0 once start-up is complete: the program is ended then
        QString output; // standard output, then standard error
    };

    std::unique_ptr<QTemporaryDir> m_dir;

    // bare: no display at all, as over SSH.
    Run run(const QStringList &arguments, bool bare = false)
    {
        QProcess process;
        process.setWorkingDirectory(m_dir->path());
        if (bare) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char *name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
                environment.remove(QLatin1String(name));
            process.setProcessEnvironment(environment);
        }
        ProgramProcess::start(process, QStringLiteral(LTXG_BINARY), arguments);
        // The GUI manager applies the language last in its start-up.
        QByteArray err;
        const auto started = [&] { return err.contains("[GUIManager] Language changed"); };
        const bool settled = QTest::qWaitFor([&] {
            err += process.readAllStandardError();
            return started() || process.state() == QProcess::NotRunning;
        }, 60000);
        if (!settled || started())
            process.kill();
        process.waitForFinished(10000);
        const bool exited = !started() && process.exitStatus() == QProcess::NormalExit;
        return { started() ? 0 : exited ? process.exitCode() : -1,
                 QString::fromUtf8(process.readAllStandardOutput() + err + process.readAllStandardError()) };
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode"); // -1: the program goes on
        QTest::addColumn<QVariantMap>("overrides");
        // The program's runs show the others.
        QTest::newRow("not shown") << QStringList { "-c", "--username", "tech", "-p", "s3cret", "positional" } << -1
                                   << QVariantMap { { "log/color", true }, { "mqtt/username", "tech" }, { "mqtt/password", "s3cret" } };
        QTest::newRow("level not a number") << QStringList { "--verbose", "dbg" } << -1 << QVariantMap { { "log/level", 0 } };
        QTest::newRow("missing value") << QStringList { "--port" } << 1 << QVariantMap {};
        for (const char *bad : { "abc", "0", "65536", "-1", "1883x" })
            QTest::newRow(qPrintable(QStringLiteral("port ") + bad)) << QStringList { "-P", bad } << 1 << QVariantMap {};
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QVariantMap, overrides);
        const CommandLine line = CommandLine::parse(QStringList { "prog" } + arguments);
        QCOMPARE(line.shouldExit() ? line.exitCode : -1, exitCode);
        QCOMPARE(line.overrides, overrides);
    }

    void start_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("bare");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("output");
        QTest::addColumn<QString>("absent");
        QTest::addColumn<QStringList>("files");
        // Help and version need no display and touch no file.
        QTest::newRow("help") << QStringList { "--help" } << true << 0 << QStringList { "-P, --port <port>" } << "" << QStringList();
        QTest::newRow("version") << QStringList { "-P", "1", "-V" } << true << 0 << QStringList { "LTXGTerminalUI 050fccb\n" }
                                 << "Setting MQTT Port" << QStringList();
        // Nothing is touched before the arguments are known to be good.
        QTest::newRow("unknown option") << QStringList { "--bogus", "-e" } << false << 1
                                        << QStringList { "ERROR: Unknown option 'bogus'." } << "" << QStringList();
        // The overrides applied, the password not shown; Debian has no
        // freevirtualkeyboard: Qt's own keyboard, with its panel.
        QTest::newRow("first start") << QStringList { "-v", "3", "-e", "-P", "1884", "-p", "hunter2" } << false << 0
                                     << QStringList { "Setting MQTT Port : 1884", "[Config] Creating default config file :  gui.conf",
                                                      "On-screen keyboard : qtvirtualkeyboard" }
                                     << "hunter2" << QStringList { "gui.conf" };
        QTest::newRow("other settings file") << QStringList { "--config", "other.conf", "-e" } << false << 0
                                             << QStringList { "Using configuration file : other.conf" } << ""
                                             << QStringList { "other.conf" };
        // Garbage in place of the settings file: the program still starts.
        QTest::newRow("garbage settings") << QStringList { "-e" } << false << 0 << QStringList() << "" << QStringList { "gui.conf" };
    }

    void start()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, bare);
        QFETCH(int, exitCode);
        QFETCH(QStringList, output);
        QFETCH(QString, absent);
        QFETCH(QStringList, files);
        if (QByteArray(QTest::currentDataTag()) == "garbage settings")
            QVERIFY(ProgramProcess::writeFile(m_dir->filePath("gui.conf"), QByteArray("\x00\xff[[[=\n\x01\x02garbage", 16)));
        const Run result = run(arguments, bare);
        QCOMPARE(result.exitCode, exitCode);
        for (const QString &line : output)
            QVERIFY2(result.output.contains(line), qPrintable(result.output));
        QVERIFY(absent.isEmpty() || !result.output.contains(absent));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), files);
    }
};

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
