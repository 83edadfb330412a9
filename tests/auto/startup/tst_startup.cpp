#include "CommandLine.h"
#include "GUIManager.h"
#include "ProgramProcess.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The command line and the start-up of the real executable.
class tst_Startup : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        int exitCode = -1;
        QString out;
        QString err;
    };

    // bare: no display at all, as over SSH.
    Run run(const QStringList &arguments, bool bare = false)
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        if (bare) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char *name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
                environment.remove(QLatin1String(name));
            process.setProcessEnvironment(environment);
        }
        ProgramProcess::start(process, QStringLiteral(LTXG_BINARY), arguments);
        // A good start runs the event loop until somebody stops the program.
        // The GUI manager applies the language last in its start-up; once
        // that is logged, start-up is complete and the program is ended.
        QByteArray err;
        bool started = false;
        QElapsedTimer elapsed;
        elapsed.start();
        while (process.state() != QProcess::NotRunning && elapsed.elapsed() < 60000) {
            process.waitForReadyRead(100);
            err += process.readAllStandardError();
            if (err.contains("[GUIManager] Language changed")) {
                started = true;
                process.kill();
                break;
            }
        }
        if (!process.waitForFinished(started ? 10000 : 1000)) {
            process.kill();
            process.waitForFinished();
        }
        Run result;
        if (started)
            result.exitCode = 0;
        else
            result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(err + process.readAllStandardError());
        return result;
    }

    QStringList filesInDir() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot); }

    QTemporaryDir m_dir;

private slots:
    void init()
    {
        // A fresh working directory for every case.
        QDir dir(m_dir.path());
        for (const QString &f : dir.entryList(QDir::Files))
            dir.remove(f);
    }

    void defaultsTable()
    {
        const QVariantMap &d = GUIManager::Defaults;
        QCOMPARE(d.size(), 31);
        // Types matter: the store compares file text with these values.
        QCOMPARE(d.value("log/level").userType(), int(QMetaType::Int));
        QCOMPARE(d.value("log/stderr").userType(), int(QMetaType::Bool));
        QCOMPARE(d.value("mqtt/port"), QVariant(1883));
        QCOMPARE(d.value("mqtt/password").userType(), int(QMetaType::QString));
        QCOMPARE(d.value("gui/settingsPin"), QVariant(QStringLiteral("3917")));
        QCOMPARE(d.value("gui/screenSaverImg").toString(), QStringLiteral("qrc:/qml/images/Icons/kivo-logo-top-gr.svg"));
        QCOMPARE(d.value("gui/displayOffMin"), QVariant(3));
        QCOMPARE(d.value("topics/device").toString(), QStringLiteral("kivo/device"));
        for (auto it = d.cbegin(); it != d.cend(); ++it)
            QVERIFY2(it.key().count('/') == 1, qPrintable(it.key()));
    }

    void parseOverrides()
    {
        // Nothing given: nothing overridden.
        CommandLine none = CommandLine::parse({ "prog" });
        QVERIFY(!none.shouldExit());
        QVERIFY(none.overrides.isEmpty());

        QTest::ignoreMessage(QtInfoMsg, "Setting Log level : 3");
        QTest::ignoreMessage(QtInfoMsg, "Log to stderr overridden from user to true");
        QTest::ignoreMessage(QtInfoMsg, "Log with color overridden from user to true");
        QTest::ignoreMessage(QtInfoMsg, "Using configuration file : /tmp/x.conf");
        QTest::ignoreMessage(QtInfoMsg, "Setting MQTT Host : broker.local");
        QTest::ignoreMessage(QtInfoMsg, "Setting MQTT Port : 1884");
        QTest::ignoreMessage(QtInfoMsg, "Setting MQTT User : tech");
        CommandLine all = CommandLine::parse({ "prog", "-v", "3", "--stderr", "-c", "--config=/tmp/x.conf",
                                               "-H", "broker.local", "--port", "1884", "-u", "tech",
                                               "-p", "s3cret", "positional" });
        QVERIFY(!all.shouldExit());
        QCOMPARE(all.overrides.value("log/level"), QVariant(3));
        QCOMPARE(all.overrides.value("log/stderr"), QVariant(true));
        QCOMPARE(all.overrides.value("log/color"), QVariant(true));
        QCOMPARE(all.overrides.value("config"), QVariant(QStringLiteral("/tmp/x.conf")));
        QCOMPARE(all.overrides.value("mqtt/host"), QVariant(QStringLiteral("broker.local")));
        QCOMPARE(all.overrides.value("mqtt/port"), QVariant(1884));
        QCOMPARE(all.overrides.value("mqtt/username"), QVariant(QStringLiteral("tech")));
        QCOMPARE(all.overrides.value("mqtt/password"), QVariant(QStringLiteral("s3cret")));
        QCOMPARE(all.overrides.size(), 8);

        // A level that is not a number reads as 0; level 4 is accepted.
        QTest::ignoreMessage(QtInfoMsg, "Setting Log level : 0");
        QCOMPARE(CommandLine::parse({ "prog", "--verbose", "dbg" }).overrides.value("log/level"), QVariant(0));
        QTest::ignoreMessage(QtInfoMsg, "Setting Log level : 4");
        QCOMPARE(CommandLine::parse({ "prog", "-v4" }).overrides.value("log/level"), QVariant(4));

        // A missing value, or a port that is not one, is a usage error.
        QTest::ignoreMessage(QtCriticalMsg, "ERROR: Missing value after '--port'.");
        QCOMPARE(CommandLine::parse({ "prog", "--port" }).exitCode, 1);
        for (const char *bad : { "abc", "0", "65536", "-1", "1883x" }) {
            QTest::ignoreMessage(QtCriticalMsg, qPrintable(QStringLiteral("ERROR: Invalid port : ") + bad));
            const CommandLine refused = CommandLine::parse({ "prog", "-P", bad });
            QCOMPARE(refused.exitCode, 1);
            QVERIFY(refused.overrides.isEmpty());
        }
    }

    void helpAndVersion()
    {
        Run help = run({ "--help" }, true);
        QCOMPARE(help.exitCode, 0);
        for (const char *text : { "-h, --help", "Print help and exit", "-V, --version", "Print version and exit",
                                  "-v, --verbose <level>", "Set log level: 0=err, 1=warn, 2=info(dfl), 3=dbg",
                                  "-e, --stderr", "Print messages to stderr, not just syslog", "-c, --color",
                                  "Print messages in color.", "-f, --config <filename>", "Set configuration file",
                                  "-H, --host <hostname>", "Set mqtt broker url", "-P, --port <port>",
                                  "Set mqtt broker port", "-u, --username <username>", "Set mqtt username",
                                  "-p, --password <password>", "Set mqtt password" })
            QVERIFY2(help.out.contains(QLatin1String(text)), text);
        QVERIFY(filesInDir().isEmpty());

        Run version = run({ "-V" }, true);
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QStringLiteral("LTXGTerminalUI 050fccb\n"));
        QVERIFY(filesInDir().isEmpty());

        // Help wins over version, version over the overrides.
        QVERIFY(run({ "-V", "-h" }).out.contains("Print help and exit"));
        Run versionFirst = run({ "--port", "1", "--version" });
        QCOMPARE(versionFirst.out, QStringLiteral("LTXGTerminalUI 050fccb\n"));
        QVERIFY(!versionFirst.err.contains("Setting MQTT Port"));
    }

    void unknownOption()
    {
        Run bad = run({ "--bogus", "-e" });
        QCOMPARE(bad.exitCode, 1);
        QVERIFY2(bad.err.contains("ERROR: Unknown option 'bogus'."), qPrintable(bad.err));
        QVERIFY(bad.out.isEmpty());
        // Nothing may be touched before the arguments are known to be good.
        QVERIFY(filesInDir().isEmpty());
    }

    void firstStartCreatesConfig()
    {
        Run first = run({ "-v", "3", "-e", "-P", "1884", "-p", "hunter2" });
        QCOMPARE(first.exitCode, 0);
        QVERIFY(first.err.contains("Setting Log level : 3"));
        QVERIFY(first.err.contains("Log to stderr overridden from user to true"));
        QVERIFY(first.err.contains("Setting MQTT Port : 1884"));
        QVERIFY(!first.err.contains("hunter2"));
        QVERIFY(first.err.contains("[Config] Creating default config file :  gui.conf"));
        // Debian has no freevirtualkeyboard: Qt's own keyboard, with its panel.
        QVERIFY(first.err.contains("On-screen keyboard : qtvirtualkeyboard"));

        const QString path = m_dir.filePath("gui.conf");
        QVERIFY(QFile::exists(path));
        QSettings file(path, QSettings::IniFormat);
        QCOMPARE(file.allKeys().size(), 31);
        for (auto it = GUIManager::Defaults.cbegin(); it != GUIManager::Defaults.cend(); ++it)
            QCOMPARE(file.value(it.key()).toString(), it.value().toString());
        // Overrides are never saved.
        QCOMPARE(file.value("log/level").toInt(), 2);
        QCOMPARE(file.value("mqtt/password").toString(), QString());

        // A second start finds the file and leaves it alone.
        const QDateTime written = QFileInfo(path).lastModified();
        Run second = run({ "-e" });
        QCOMPARE(second.exitCode, 0);
        QVERIFY(!second.err.contains("Creating default config file"));
        QCOMPARE(QFileInfo(path).lastModified(), written);
    }

    void configOptionNamesMissingFile()
    {
        const QString path = m_dir.filePath("sub/other.conf");
        QVERIFY(QDir().mkpath(m_dir.filePath("sub")));
        Run r = run({ "--config", path });
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.contains("Using configuration file : " + path));
        QVERIFY(QFile::exists(path));
        QVERIFY(!QFile::exists(m_dir.filePath("gui.conf")));
        QCOMPARE(QSettings(path, QSettings::IniFormat).allKeys().size(), 31);
    }

    void unreadableConfigKeepsDefaults()
    {
        // Garbage in place of the settings file: the program still starts.
        QFile garbage(m_dir.filePath("gui.conf"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        static const char content[] = "\x00\xff[[[=\n\x01\x02garbage";
        garbage.write(content, sizeof(content) - 1);
        garbage.close();
        QCOMPARE(run({}).exitCode, 0);
    }
};

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
