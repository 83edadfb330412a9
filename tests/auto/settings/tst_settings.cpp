#include "Config.h"
#include "Event.h"
#include "EventManager.h"
#include "GUIManager.h"
#include "LogRecorder.h"
#include "SessionManager.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// What the terminal keeps: the layered settings and their INI file, the
// maintenance session guarded by the PIN they hold (3917 by default), and the
// event log.
class tst_Settings : public QObject
{
    Q_OBJECT

private:
    QString path() const { return m_dir->filePath(QStringLiteral("gui.conf")); }
    QString logPath() const { return m_dir->filePath(QStringLiteral("events.ini")); }

    // A setting as written in the file, in text form; empty if not there.
    // Read raw: QSettings may answer from its cache.
    QString inFile(const QString &key) const
    {
        QFile f(path());
        QByteArray section;
        for (const QByteArray &line : (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray()).split('\n')) {
            if (line.startsWith('['))
                section = line.mid(1, line.indexOf(']') - 1);
            else if (section == key.section('/', 0, 0).toUtf8() && line.startsWith(key.section('/', 1).toUtf8() + '='))
                return QString::fromUtf8(line.mid(line.indexOf('=') + 1));
        }
        return QString();
    }

    static void write(const QString &file, const QByteArray &content)
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size());
    }

    // Every save replaces the file, so an unchanged inode means no write.
    static ino_t inode(const QString &file)
    {
        struct stat st {};
        return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_ino : 0;
    }

    // The names of the entries in the event log file.
    QStringList readEvents() const
    {
        QStringList names;
        QSettings settings(logPath(), QSettings::IniFormat);
        const int size = settings.beginReadArray(QStringLiteral("events"));
        for (int i = 0; i < size; ++i) {
            settings.setArrayIndex(i);
            names << settings.value("name").toString();
        }
        return names;
    }

    // Written through the settings array API, as the terminal does.
    void writeEvents(const QVector<QPair<QString, QDateTime>> &entries) const
    {
        QSettings settings(logPath(), QSettings::IniFormat);
        settings.beginWriteArray(QStringLiteral("events"), entries.size());
        for (int i = 0; i < entries.size(); ++i) {
            settings.setArrayIndex(i);
            settings.setValue("name", entries[i].first);
            settings.setValue("timestamp", entries[i].second);
        }
        settings.endArray();
    }

    static QStringList visibleNames(const EventManager &log)
    {
        QStringList names;
        for (const QObject *event : log.property("data").value<QList<QObject *>>())
            names << event->property("name").toString();
        return names;
    }

    std::unique_ptr<EventManager> openLog() { return std::make_unique<EventManager>(*m_config, logPath()); }

    static Event *event(const QString &name, const QDateTime &time = QDateTime::currentDateTime())
    {
        return new Event(QStringLiteral("Board"), name, QString(), time);
    }

    const QVariantMap m_defaults{ { "log/level", 2 },   { "log/color", false },         { "mqtt/host", "localhost" },
                                  { "mqtt/port", 1883 }, { "mqtt/password", QString() }, { "topics/dispenser", "kivo/dispenser" } };
    QScopedPointer<QTemporaryDir> m_dir;
    QScopedPointer<Config> m_config;

private slots:
    // The terminal's own settings, for the session and the event log.
    void init()
    {
        m_config.reset();
        m_dir.reset(new QTemporaryDir);
        m_config.reset(new Config(m_dir->filePath(QStringLiteral("terminal.conf")), GUIManager::Defaults));
    }

    // A change through set() or the JSON form (which changes known settings
    // only) is signalled and saved; an equal value, typed or as text, is none.
    void change_data()
    {
        QTest::addColumn<bool>("json");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("written"); // empty: no change, no write
        QTest::newRow("same number as text") << false << "log/level" << QVariant("2") << "";
        QTest::newRow("changed") << false << "log/level" << QVariant(3) << "3";
        QTest::newRow("yes is not false") << false << "log/color" << QVariant("yes") << "yes";
        QTest::newRow("JSON, same bool as text") << true << "log/color" << QVariant("false") << "";
        QTest::newRow("JSON, changed") << true << "log/level" << QVariant(4) << "4";
        QTest::newRow("JSON, unknown name") << true << "log/bogus" << QVariant(1) << "";
    }

    void change()
    {
        QFETCH(bool, json);
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(QString, written);
        Config config(path(), m_defaults);
        QSignalSpy changed(&config, &Config::configChanged);
        const ino_t before = inode(path());
        if (json)
            config.fromJson({ { key.section('/', 0, 0), QJsonObject{ { key.section('/', 1), QJsonValue::fromVariant(value) } } } });
        else
            config.set(key, value);
        QCOMPARE(inode(path()) != before, !written.isEmpty());
        QCOMPARE(changed.count(), written.isEmpty() ? 0 : 1);
        if (!written.isEmpty()) {
            QCOMPARE(changed.at(0).at(0).toMap(), (QVariantMap{ { key, value } }));
            QCOMPARE(config.get(key), value);
            QCOMPARE(inFile(key), written);
        }
        QCOMPARE(!inFile(key).isEmpty(), json ? m_defaults.contains(key) : true);
    }

    void badFile_data()
    {
        QTest::addColumn<bool>("events");
        QTest::addColumn<QByteArray>("content"); // null: the settings file a directory, the event log not writable
        QTest::addColumn<QString>("warning");
        QTest::addColumn<bool>("setAside");
        QByteArray garbage("\x00\x01\xff\xfe garbage\n=\n[[[events\n", 24);
        for (int i = 0; i < 1000; ++i)
            garbage.append(char((i * 37 + 11) & 0xff));
        // A typed value whose list count asks for more memory than there is: Qt gives up inside QSettings.
        const QByteArray impossible("@DateTime(\\0\\0\\0\\x31\\0\\x31\\xee\\x62\\x80)\n");
        const QString unreadableLog = QStringLiteral("[EventManager] WARN: Cannot read the event log file ");
        QTest::newRow("settings: undecodable") << false << "[log]\nlevel=" + impossible
                                               << "[SettingsFile] WARN: Cannot decode the settings file " << true;
        QTest::newRow("settings: unreadable") << false << QByteArray("[log]\nlevel=3\n") << "" << false;
        QTest::newRow("settings: a directory") << false << QByteArray() << "[Config] WARN: Cannot write the settings file "
                                               << false;
        QTest::newRow("events: garbage") << true << garbage << unreadableLog << false;
        QTest::newRow("events: undecodable") << true << "[events]\nsize=1\n1\\category=General\n1\\timestamp=" + impossible
                                             << unreadableLog << true;
        // The empty entries have no time and go.
        QTest::newRow("events: size with nothing behind") << true << QByteArray("[events]\nsize=2000000000\n1\\name=x\n") << ""
                                                          << false;
        QTest::newRow("events: not writable") << true << QByteArray() << "[EventManager] WARN: Cannot write the event log file "
                                              << false;
    }

    // Settings start from the defaults, the event log empty, and both go on
    // working; a file Qt cannot decode is kept aside, and a file that can be
    // written holds the new state afterwards.
    void badFile()
    {
        QFETCH(bool, events);
        QFETCH(QByteArray, content);
        QFETCH(QString, warning);
        QFETCH(bool, setAside);
        const bool unreadable = QByteArray(QTest::currentDataTag()).endsWith("unreadable");
        if (unreadable && ::geteuid() == 0)
            QSKIP("root reads files without read permission");
        // An event log under a file is never writable.
        const QString file = !events ? path() : content.isNull() ? m_config->filename() + "/events.ini" : logPath();
        QVERIFY(content.isNull() ? events || QDir().mkdir(file) : (write(file, content), true));
        QVERIFY(!unreadable || QFile::setPermissions(file, QFileDevice::WriteOwner));
        LogRecorder log;
        if (events) {
            EventManager eventLog(*m_config, file);
            QVERIFY(visibleNames(eventLog).isEmpty());
            eventLog.push(event(QStringLiteral("Application started")));
            QCOMPARE(visibleNames(eventLog), QStringList({ "Application started" }));
        } else {
            Config config(file, m_defaults);
            for (auto it = m_defaults.cbegin(); it != m_defaults.cend(); ++it)
                QCOMPARE(config.get(it.key()), it.value());
            config.set("mqtt/port", 1884);
            QCOMPARE(config.get("mqtt/port"), QVariant(1884));
        }
        QVERIFY2(warning.isEmpty() ? !log.contains("WARN") : log.contains(warning + file), qPrintable(log.lines().join('\n')));
        QFile damaged(file + QStringLiteral(".damaged"));
        QCOMPARE(damaged.open(QIODevice::ReadOnly) ? damaged.readAll() : QByteArray(), setAside ? content : QByteArray());
        if (content.isNull() || unreadable)
            return;
        log.clear();
        if (events)
            QCOMPARE(visibleNames(*openLog()), QStringList({ "Application started" }));
        else
            QCOMPARE(QStringList({ inFile("mqtt/port"), inFile("log/level") }), QStringList({ "1884", "2" }));
        QVERIFY(!log.contains("WARN"));
    }

    void login_data()
    {
        QTest::addColumn<QString>("configured"); // null: as configured by default
        QTest::addColumn<QString>("entered");
        QTest::addColumn<bool>("granted");
        QTest::newRow("right") << QString() << "3917" << true;
        QTest::newRow("empty") << QString() << "" << false;
        QTest::newRow("prefix") << QString() << "391" << false;
        QTest::newRow("changed PIN") << "2468" << "2468" << true;
        QTest::newRow("empty PIN configured") << "" << "" << true;
    }

    void login()
    {
        QFETCH(QString, configured);
        QFETCH(QString, entered);
        QFETCH(bool, granted);
        SessionManager session(*m_config);
        if (!configured.isNull())
            m_config->set(QStringLiteral("gui/settingsPin"), configured);
        QSignalSpy denied(&session, &SessionManager::accessDenied);
        session.loginRequest(entered);
        QCOMPARE(session.sessionActive(), granted);
        QCOMPARE(denied.count(), granted ? 0 : 1);
    }

    // A session lasts ten minutes, or until logout; a wrong or changed PIN
    // leaves a running one alone.
    void sessionLifetime()
    {
        SessionManager session(*m_config);
        session.loginRequest(QStringLiteral("3917"));
        QVERIFY(session.remainingTime() > 500000 && session.remainingTime() <= 601000); // timers of whole seconds
        session.loginRequest(QStringLiteral("0000"));
        m_config->set(QStringLiteral("gui/settingsPin"), QStringLiteral("2468"));
        QVERIFY(session.sessionActive());
        session.logoutRequest();
        QVERIFY(!session.sessionActive() && !session.user());
        QSignalSpy active(&session, &SessionManager::sessionActiveChanged);
        session.setSessionLength(300);
        session.loginRequest(QStringLiteral("2468"));
        QVERIFY(session.sessionActive() && active.wait(10000));
        QVERIFY(!session.sessionActive() && !session.user());
    }

    void eventLogKeepsTheLatest()
    {
        const QDateTime now = QDateTime::currentDateTime();
        QVector<QPair<QString, QDateTime>> entries;
        for (int i = 0; i < 1500; ++i)
            entries.append({ QStringLiteral("E%1").arg(i), now.addSecs(i - 1560) });
        writeEvents(entries);
        auto events = openLog();
        // The last thousand, newest first.
        QStringList names = visibleNames(*events);
        QCOMPARE(QStringList({ QString::number(names.size()), names.first(), names.last() }), QStringList({ "1000", "E1499", "E500" }));
        // A push into a full list keeps 1001; the next drops the oldest, on screen and on disk,
        // with deferred deletion: QML may still hold it.
        QPointer<QObject> oldest = events->property("data").value<QList<QObject *>>().last();
        events->push(event(QStringLiteral("Ignition on")));
        events->push(event(QStringLiteral("Ignition off"), now.addSecs(1)));
        names = visibleNames(*events);
        QCOMPARE(QStringList({ QString::number(names.size()), names.first(), names.last() }),
                 QStringList({ "1001", "Ignition off", "E501" }));
        events->flush();
        const QStringList file = readEvents();
        QCOMPARE(QStringList({ QString::number(file.size()), file.first(), file.last() }), QStringList({ "1001", "E501", "Ignition off" }));
        QVERIFY(!oldest.isNull());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(oldest.isNull());
        // Nonsense is refused without harm.
        LogRecorder log;
        events->push(nullptr);
        events->push(qobject_cast<Event *>(events->property("data").value<QList<QObject *>>().first()));
        QCOMPARE(log.matching(QStringLiteral("[EventManager] WARN: ")).size(), 2);
        QCOMPARE(visibleNames(*events).size(), 1001);

        // Events 30 days old go when the log is opened.
        events.reset();
        writeEvents({ { "Ancient", now.addDays(-40) }, { "Borderline", now.addDays(-30).addSecs(-5) }, { "Recent", now.addDays(-29) } });
        events = openLog();
        QCOMPARE(visibleNames(*events), QStringList({ "Recent" }));
        events->flush();
        QCOMPARE(readEvents(), QStringList({ "Recent" }));
    }

    // Events arriving faster than they are written (a busy terminal, a slow
    // card) must not hold up whoever waits for one of them: the shutdown.
    void savedWhileEventsKeepComing()
    {
        auto events = openLog();
        for (int i = 0; i < 500; ++i)
            events->push(event(QStringLiteral("Ignition on")));
        events->push(event(QStringLiteral("Ignition off")));
        QObject context;
        bool saved = false;
        events->whenSaved(&context, [&] { saved = readEvents().size() >= 501; });
        QElapsedTimer busy;
        busy.start();
        while (!saved && busy.elapsed() < 30000) {
            events->push(event(QStringLiteral("Busy")));
            QCoreApplication::processEvents();
        }
        QVERIFY(saved);
    }
};

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"
