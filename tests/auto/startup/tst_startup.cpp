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

    void parseOverrides_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode"); // -1: the program goes on
        QTest::addColumn<QVariantMap>("overrides");
        QTest::newRow("nothing") << QStringList {} << -1 << QVariantMap {};
        QTest::newRow("all") << QStringList { "-v", "3", "--stderr", "-c", "--config=/tmp/x.conf", "-H", "broker.local",
                                              "--port", "1884", "-u", "tech", "-p", "s3cret", "positional" }
                             << -1
                             << QVariantMap { { "log/level", 3 }, { "log/stderr", true }, { "log/color", true },
                                              { "config", "/tmp/x.conf" }, { "mqtt/host", "broker.local" },
                                              { "mqtt/port", 1884 }, { "mqtt/username", "tech" },
                                              { "mqtt/password", "s3cret" } };
        QTest::newRow("level not a number") << QStringList { "--verbose", "dbg" } << -1 << QVariantMap { { "log/level", 0 } };
        QTest::newRow("level glued") << QStringList { "-v4" } << -1 << QVariantMap { { "log/level", 4 } };
        QTest::newRow("missing value") << QStringList { "--port" } << 1 << QVariantMap {};
        for (const char *bad : { "abc", "0", "65536", "-1", "1883x" })
            QTest::newRow(qPrintable(QStringLiteral("port ") + bad)) << QStringList { "-P", bad } << 1 << QVariantMap {};
    }

    void parseOverrides()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QVariantMap, overrides);
        const CommandLine line = CommandLine::parse(QStringList { "prog" } + arguments);
        QCOMPARE(line.shouldExit(), exitCode >= 0);
        if (exitCode >= 0)
            QCOMPARE(line.exitCode, exitCode);
        QCOMPARE(line.overrides, overrides);
    }

    void helpAndVersion()
    {
        // Neither needs a display, and neither touches a file.
        const Run help = run({ "--help" }, true);
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("-P, --port <port>") && help.out.contains("Set mqtt password"));
        const Run version = run({ "-V" }, true);
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QStringLiteral("LTXGTerminalUI 050fccb\n"));
        QVERIFY(filesInDir().isEmpty());

        // Help wins over version, version over the overrides.
        QVERIFY(run({ "-V", "-h" }).out.contains("Print help and exit"));
        const Run versionFirst = run({ "--port", "1", "--version" });
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
