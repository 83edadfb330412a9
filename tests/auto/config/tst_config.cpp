#include "Config.h"
#include "GUIManager.h"
#include "LogRecorder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

// The layered settings store and its INI file. Outside edits below always
// change the file's size: QSettings trusts its cache when size and
// modification time (millisecond resolution) are unchanged.
class tst_Config : public QObject
{
    Q_OBJECT

private:
    QString path(const QString &name = QStringLiteral("gui.conf")) const { return m_dir->filePath(name); }

    // The file as written: "group/name" (or "name" for [General]) to raw text.
    static QMap<QString, QString> readIni(const QString &file)
    {
        QMap<QString, QString> result;
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return result;
        QString section;
        for (const QByteArray &raw : f.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.isEmpty())
                continue;
            if (line.startsWith('[') && line.endsWith(']')) {
                section = line.mid(1, line.size() - 2);
                continue;
            }
            const QString name = line.section('=', 0, 0);
            const QString value = line.section('=', 1);
            result.insert(section == QLatin1String("General") ? name : section + '/' + name, value);
        }
        return result;
    }

    static QByteArray iniText(const QMap<QString, QString> &entries)
    {
        QMap<QString, QStringList> sections;
        for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
            const int slash = it.key().indexOf('/');
            const QString section = slash < 0 ? QStringLiteral("General") : it.key().left(slash);
            sections[section] << it.key().mid(slash + 1) + '=' + it.value();
        }
        QByteArray text;
        for (auto it = sections.cbegin(); it != sections.cend(); ++it)
            text += '[' + it.key().toUtf8() + "]\n" + it.value().join('\n').toUtf8() + "\n\n";
        return text;
    }

    static void writeInPlace(const QString &file, const QByteArray &content)
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(content), qint64(content.size()));
    }

    // What an editor does: write a new file and rename it over the old one.
    static void replace(const QString &file, const QByteArray &content)
    {
        const QString temp = file + QStringLiteral(".new");
        writeInPlace(temp, content);
        QCOMPARE(::rename(QFile::encodeName(temp).constData(), QFile::encodeName(file).constData()), 0);
    }

    // Every save replaces the file, so an unchanged inode means no write.
    static ino_t inode(const QString &file)
    {
        struct stat st {};
        return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_ino : 0;
    }

    static QVariantMap smallDefaults()
    {
        return {
            { "log/level", 2 },
            { "log/color", false },
            { "mqtt/host", QStringLiteral("localhost") },
            { "mqtt/password", QString() },
            { "mqtt/port", 1883 },
            { "topics/dispenser", QStringLiteral("kivo/dispenser") },
        };
    }

    // Records both signals in the order they arrive.
    struct Recorder
    {
        explicit Recorder(Config &config)
        {
            QObject::connect(&config, &Config::configFileChanged, [this] { events << QStringLiteral("file"); });
            QObject::connect(&config, &Config::configChanged, [this](const QVariantMap &changes) {
                events << QStringLiteral("changed:") + changes.keys().join(',');
                last = changes;
            });
        }
        QStringList events;
        QVariantMap last;
    };

    QScopedPointer<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
    }

    void createFromDefaults()
    {
        const QVariantMap &defaults = GUIManager::Defaults;
        QVERIFY(!defaults.isEmpty());
        {
            LogRecorder log;
            Config config(path(), defaults);
            QCOMPARE(log.lines(QtWarningMsg), QStringList { "[Config] Creating default config file :  " + path() });
            QCOMPARE(log.count(), 1);

            QCOMPARE(config.filename(), path());
            QCOMPARE(config.keys(), defaults.keys());
            QCOMPARE(config.defaults(), defaults);
            for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
                QCOMPARE(config.get(it.key()), it.value());
        }

        // Every key in the section of its group, in text form.
        const QMap<QString, QString> file = readIni(path());
        QCOMPARE(file.keys(), defaults.keys());
        for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
            QCOMPARE(file.value(it.key()), it.value().toString());
        QCOMPARE(file.value("log/stderr"), QStringLiteral("true"));
        QCOMPARE(file.value("mqtt/port"), QStringLiteral("1883"));

        // The file exists now: no warning and no write.
        const ino_t before = inode(path());
        LogRecorder log;
        Config again(path(), defaults);
        QCOMPARE(log.count(), 0);
        QCOMPARE(inode(path()), before);
        QCOMPARE(again.get("log/level").toInt(), 2);
        QCOMPARE(again.get("gui/showCursor").toBool(), true);
    }

    void precedence()
    {
        writeInPlace(path(), "[General]\nloose=1\n\n"
                             "[a]\nx/y=deep\n\n"
                             "[extra]\nkey=abc\n\n"
                             "[log]\nlevel=3\n\n"
                             "[mqtt]\nport=1884\n");
        LogRecorder log;
        Config config(path(), smallDefaults());
        QCOMPARE(log.count(), 0);

        // file over default
        QCOMPARE(config.get("log/level"), QVariant(3));
        QCOMPARE(config.get("log/color"), QVariant(false));
        QCOMPARE(config.get("mqtt/port").toInt(), 1884);
        // keys only in the file are kept
        QCOMPARE(config.get("extra/key"), QVariant("abc"));
        QCOMPARE(config.get("loose"), QVariant("1"));
        QVERIFY(!config.get("no/such").isValid());
        QCOMPARE(config.keys(), (QStringList { "a/x/y", "extra/key", "log/color", "log/level", "loose", "mqtt/host",
                                               "mqtt/password", "mqtt/port", "topics/dispenser" }));

        // override over file; the latest override of a key wins
        config.addOverrides({ { "log/level", 4 }, { "mqtt/host", "broker" } });
        QCOMPARE(config.get("log/level"), QVariant(4));
        config.addOverrides({ { "log/level", 5 } });
        QCOMPARE(config.get("log/level"), QVariant(5));
        QCOMPARE(config.get("mqtt/host"), QVariant("broker"));

        // defaults added later serve keys that no other layer holds
        config.addDefaults({ { "later/key", 7 } });
        QCOMPARE(config.get("later/key"), QVariant(7));
        QCOMPARE(config.defaults().value("later/key"), QVariant(7));
        QVERIFY(!config.keys().contains("later/key"));
        config.addDefaults({ { "later/key", 8 } });
        QCOMPARE(config.get("later/key"), QVariant(8));

        // Overrides are neither in the JSON form nor in the file; only
        // group/name keys have a JSON form.
        const QJsonObject json = config.toJson();
        QCOMPARE(json.keys(), (QStringList { "extra", "log", "mqtt", "topics" }));
        QCOMPARE(json.value("log").toObject().value("level").toVariant().toInt(), 3);
        QCOMPARE(json.value("log").toObject().value("color"), QJsonValue(false));
        QCOMPARE(json.value("mqtt").toObject().value("host"), QJsonValue("localhost"));
        QCOMPARE(json.value("mqtt").toObject().value("port").toVariant().toInt(), 1884);
        QCOMPARE(json.value("topics").toObject().value("dispenser"), QJsonValue("kivo/dispenser"));

        config.set("mqtt/port", 1885);
        const QMap<QString, QString> file = readIni(path());
        QCOMPARE(file.value("log/level"), QStringLiteral("3"));
        QCOMPARE(file.value("mqtt/host"), QStringLiteral("localhost"));
        QCOMPARE(file.value("mqtt/port"), QStringLiteral("1885"));
        QCOMPARE(file.value("extra/key"), QStringLiteral("abc"));
        QCOMPARE(file.value("loose"), QStringLiteral("1"));
        QVERIFY(!file.contains("later/key"));
    }

    void set()
    {
        Config config(path(), smallDefaults());
        QSignalSpy changed(&config, &Config::configChanged);
        ino_t written = inode(path());

        // Equal values, typed or as text, change nothing and write nothing.
        config.set("log/level", 2);
        config.set("log/level", "2");
        config.set("log/color", "false");
        config.set("mqtt/host", "localhost");
        QCOMPARE(changed.count(), 0);
        QCOMPARE(inode(path()), written);

        config.set("log/level", 3);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toMap(), (QVariantMap { { "log/level", 3 } }));
        QCOMPARE(config.get("log/level"), QVariant(3));
        QCOMPARE(readIni(path()).value("log/level"), QStringLiteral("3"));
        QVERIFY(inode(path()) != written);
        written = inode(path());

        // "yes" is not the stored false.
        config.set("log/color", "yes");
        QCOMPARE(changed.count(), 2);
        QCOMPARE(readIni(path()).value("log/color"), QStringLiteral("yes"));
        written = inode(path());

        // An override stays while the stored value is set to itself ...
        config.addOverrides({ { "mqtt/port", 9999 } });
        config.set("mqtt/port", 1883);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(inode(path()), written);
        QCOMPARE(config.get("mqtt/port"), QVariant(9999));

        // ... and is dropped by a real change.
        config.set("mqtt/port", 1884);
        QCOMPARE(changed.count(), 3);
        QCOMPARE(changed.at(2).at(0).toMap(), (QVariantMap { { "mqtt/port", 1884 } }));
        QCOMPARE(config.get("mqtt/port"), QVariant(1884));
        QCOMPARE(readIni(path()).value("mqtt/port"), QStringLiteral("1884"));

        // A key the settings do not hold yet is added.
        config.set("extra/new", "x");
        QCOMPARE(changed.count(), 4);
        QVERIFY(config.keys().contains("extra/new"));
        QCOMPARE(readIni(path()).value("extra/new"), QStringLiteral("x"));
    }

    void fromJson()
    {
        writeInPlace(path(), "[log]\nlevel=3\n");
        Config config(path(), smallDefaults());
        QSignalSpy changed(&config, &Config::configChanged);
        const QStringList keys = config.keys();
        const ino_t written = inode(path());

        // Only equal values (the file's "3" as a number, false as text, a
        // whole number for an integer): nothing happens.
        QJsonObject same {
            { "log", QJsonObject { { "level", 3 }, { "color", "false" } } },
            { "mqtt", QJsonObject { { "port", 1883.0 } } },
        };
        QCOMPARE(&config.fromJson(same), &config);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(inode(path()), written);

        // Unknown groups and names, and groups that are no objects, are ignored.
        QJsonObject update {
            { "log", QJsonObject { { "level", 4 }, { "bogus", 1 } } },
            { "nogroup", QJsonObject { { "x", 1 } } },
            { "mqtt", "not an object" },
            { "topics", QJsonArray { 1, 2 } },
            { "gui", QJsonObject { { "locale", "en_US" } } },
        };
        QCOMPARE(&config.fromJson(update), &config);
        QCOMPARE(changed.count(), 1);
        const QVariantMap changes = changed.at(0).at(0).toMap();
        QCOMPARE(changes.keys(), QStringList { "log/level" });
        QCOMPARE(changes.value("log/level").toInt(), 4);
        QCOMPARE(config.keys(), keys);
        QCOMPARE(config.get("log/level").toInt(), 4);
        const QMap<QString, QString> file = readIni(path());
        QCOMPARE(file.value("log/level"), QStringLiteral("4"));
        QVERIFY(!file.contains("log/bogus"));
        QVERIFY(!file.contains("nogroup/x"));
        QVERIFY(!file.contains("gui/locale"));

        // Several keys in one go: one signal with all of them.
        config.fromJson({ { "mqtt", QJsonObject { { "host", "b" }, { "port", 1 } } } });
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.at(1).at(0).toMap().keys(), (QStringList { "mqtt/host", "mqtt/port" }));
    }

    void printAndPassword()
    {
        Config config(path(), smallDefaults());
        config.addOverrides({ { "mqtt/host", "broker" } });

        const QString dashes = "[Config] ------------------------------------------------------------";
        const auto listing = [&](const QString &password) {
            return QStringList {
                dashes,
                "[Config]  SETTINGS ( " + path() + " )",
                dashes,
                "[Config]  log/color        : false",
                "[Config]  log/level        : 2",
                "[Config]  mqtt/host        : broker",
                "[Config]  mqtt/password    : " + password,
                "[Config]  mqtt/port        : 1883",
                "[Config]  topics/dispenser : kivo/dispenser",
                dashes,
            };
        };
        {
            LogRecorder log;
            config.print();
            QCOMPARE(log.lines(QtInfoMsg), listing(QString()));
            QCOMPARE(log.count(), 10);
        }

        // The password never reaches the log, but stays in the JSON form.
        config.set("mqtt/password", "s3cret");
        {
            LogRecorder log;
            config.print();
            QCOMPARE(log.lines(QtInfoMsg), listing("********"));
            QVERIFY(!log.contains("s3cret"));
        }
        QCOMPARE(config.toJson().value("mqtt").toObject().value("password"), QJsonValue("s3cret"));
        // An override shows in the listing, not in the JSON form.
        QCOMPARE(config.toJson().value("mqtt").toObject().value("host"), QJsonValue("localhost"));
    }

    void outsideEdits()
    {
        QVariantMap defaults = smallDefaults();
        defaults.insert("gui/on", true);
        Config config(path(), defaults);
        Recorder rec(config);

        // In place: the whole file is text now, yet only the edited key counts.
        QMap<QString, QString> file = readIni(path());
        file["log/level"] = "13";
        writeInPlace(path(), iniText(file));
        QTRY_COMPARE_WITH_TIMEOUT(rec.events, (QStringList { "file", "changed:log/level" }), 10000);
        QCOMPARE(rec.last.value("log/level"), QVariant("13"));
        QCOMPARE(config.get("log/level").toInt(), 13);

        // Replaced by an editor.
        file["gui/on"] = "false";
        file["mqtt/port"] = "18830";
        replace(path(), iniText(file));
        QTRY_COMPARE_WITH_TIMEOUT(rec.events.size(), 4, 10000);
        QCOMPARE(rec.events.mid(2), (QStringList { "file", "changed:gui/on,mqtt/port" }));
        QCOMPARE(config.get("gui/on").toBool(), false);

        // Replaced again, then edited in place: both still noticed.
        file["mqtt/host"] = "broker.example";
        replace(path(), iniText(file));
        QTRY_COMPARE_WITH_TIMEOUT(rec.events.size(), 6, 10000);
        QCOMPARE(rec.events.mid(4), (QStringList { "file", "changed:mqtt/host" }));

        file["topics/dispenser"] = "other/dispenser";
        writeInPlace(path(), iniText(file));
        QTRY_COMPARE_WITH_TIMEOUT(rec.events.size(), 8, 10000);
        QCOMPARE(rec.events.mid(6), (QStringList { "file", "changed:topics/dispenser" }));
        QCOMPARE(config.get("topics/dispenser"), QVariant("other/dispenser"));

        // Rewriting the same content reports nothing.
        replace(path(), iniText(file) + "\n");
        QTest::qWait(1500);
        QCOMPARE(rec.events.size(), 8);
    }

    void ownSavesNotSeen()
    {
        Config config(path(), smallDefaults());
        Recorder rec(config);

        config.set("log/level", 3);
        config.fromJson({ { "mqtt", QJsonObject { { "port", 1999 } } } });
        config.save();
        // A late notification would arrive within this generous wait.
        QTest::qWait(2500);
        QCOMPARE(rec.events, (QStringList { "changed:log/level", "changed:mqtt/port" }));

        // The file is still watched after those saves.
        QMap<QString, QString> file = readIni(path());
        file["mqtt/host"] = "elsewhere.example";
        writeInPlace(path(), iniText(file));
        QTRY_COMPARE_WITH_TIMEOUT(rec.events.size(), 4, 10000);
        QCOMPARE(rec.events.mid(2), (QStringList { "file", "changed:mqtt/host" }));
    }

    void badFiles()
    {
        const QVariantMap defaults = smallDefaults();

        // Garbage: the defaults stay in force, and the next save repairs the file.
        QByteArray garbage;
        for (int i = 0; i < 1024; ++i)
            garbage.append(char((i * 37 + 11) & 0xff));
        writeInPlace(path(), garbage);
        {
            LogRecorder log;
            Config config(path(), defaults);
            QVERIFY(log.lines(QtWarningMsg).isEmpty());
            for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
                QCOMPARE(config.get(it.key()), it.value());
            config.set("log/level", 3);
            QCOMPARE(readIni(path()).value("log/level"), QStringLiteral("3"));
        }

        // A typed value whose list count asks for more memory than there is:
        // Qt gives up inside QSettings. The defaults stay in force, and the
        // next save keeps the damaged file aside and writes a clean one.
        const QByteArray impossible("[log]\nlevel=@DateTime(\\0\\0\\0\\x31\\0\\x31\\xee\\x62\\x80)\n");
        writeInPlace(path(), impossible);
        {
            LogRecorder log;
            Config config(path(), defaults);
            QVERIFY(log.contains(QStringLiteral("[SettingsFile] WARN: Cannot decode the settings file ") + path()));
            for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
                QCOMPARE(config.get(it.key()), it.value());
            config.set("mqtt/port", 1884);
            QVERIFY(log.contains(QStringLiteral("[SettingsFile] WARN: Damaged settings file kept as ") + path()
                                 + QStringLiteral(".damaged")));
            const QMap<QString, QString> written = readIni(path());
            QCOMPARE(written.value("mqtt/port"), QStringLiteral("1884"));
            QCOMPARE(written.value("log/level"), QStringLiteral("2"));
        }
        QFile damaged(path() + QStringLiteral(".damaged"));
        QVERIFY(damaged.open(QIODevice::ReadOnly));
        QCOMPARE(damaged.readAll(), impossible);

        // A directory in place of the file.
        const QString dir = path("dir.conf");
        QVERIFY(QDir().mkdir(dir));
        {
            Config config(dir, defaults);
            for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
                QCOMPARE(config.get(it.key()), it.value());
            QSignalSpy changed(&config, &Config::configChanged);
            config.set("log/level", 4);
            QCOMPARE(changed.count(), 1);
            QCOMPARE(config.get("log/level"), QVariant(4));
            config.load();
            QCOMPARE(config.get("log/level"), QVariant(4));
            QVERIFY(QFileInfo(dir).isDir());
        }
    }

    void unreadableFile()
    {
        if (::geteuid() == 0)
            QSKIP("root reads files without read permission");
        writeInPlace(path(), "[log]\nlevel=3\n");
        QVERIFY(QFile::setPermissions(path(), QFileDevice::WriteOwner));
        Config config(path(), smallDefaults());
        QCOMPARE(config.get("log/level"), QVariant(2));
        QCOMPARE(config.get("mqtt/port"), QVariant(1883));
    }
};

QTEST_GUILESS_MAIN(tst_Config)
#include "tst_config.moc"
