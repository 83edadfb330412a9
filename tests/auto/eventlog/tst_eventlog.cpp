#include "Config.h"
#include "Event.h"
#include "EventManager.h"
#include "GUIManager.h"
#include "LogRecorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

// The persistent event log and its view.
class tst_EventLog : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Config> m_config;

    QString logPath() const { return m_dir->filePath(QStringLiteral("events.ini")); }

    struct Entry
    {
        QString category;
        QString name;
        QString desc;
        QDateTime timestamp;
    };

    // Writes the file through the settings array API, as the terminal does.
    void writeFile(const QVector<Entry> &entries) const
    {
        QSettings settings(logPath(), QSettings::IniFormat);
        settings.clear();
        settings.beginWriteArray(QStringLiteral("events"), entries.size());
        for (int i = 0; i < entries.size(); ++i) {
            settings.setArrayIndex(i);
            settings.setValue(QStringLiteral("category"), entries[i].category);
            settings.setValue(QStringLiteral("name"), entries[i].name);
            settings.setValue(QStringLiteral("desc"), entries[i].desc);
            settings.setValue(QStringLiteral("timestamp"), entries[i].timestamp);
        }
        settings.endArray();
        settings.sync();
        QCOMPARE(settings.status(), QSettings::NoError);
    }

    QVector<Entry> readFile() const
    {
        QVector<Entry> entries;
        QSettings settings(logPath(), QSettings::IniFormat);
        const int size = settings.beginReadArray(QStringLiteral("events"));
        for (int i = 0; i < size; ++i) {
            settings.setArrayIndex(i);
            entries.append({ settings.value(QStringLiteral("category")).toString(),
                             settings.value(QStringLiteral("name")).toString(),
                             settings.value(QStringLiteral("desc")).toString(),
                             settings.value(QStringLiteral("timestamp")).toDateTime() });
        }
        return entries;
    }

    // Numbered entries, one second apart, the last one a minute ago.
    static QVector<Entry> numbered(int count)
    {
        const QDateTime last = QDateTime::currentDateTime().addSecs(-60);
        QVector<Entry> entries;
        for (int i = 0; i < count; ++i)
            entries.append({ QStringLiteral("General"), QStringLiteral("E%1").arg(i), QString(),
                             last.addSecs(i - count + 1) });
        return entries;
    }

    static QStringList visibleNames(const EventManager &log)
    {
        QStringList names;
        const auto events = log.property("data").value<QList<QObject *>>();
        for (const QObject *event : events)
            names << event->property("name").toString();
        return names;
    }

    static ino_t inode(const QString &file)
    {
        struct stat info {};
        return ::stat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_ino : 0;
    }

    std::unique_ptr<EventManager> open() const
    {
        return std::make_unique<EventManager>(*m_config, logPath());
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_config = std::make_unique<Config>(m_dir->filePath(QStringLiteral("gui.conf")), GUIManager::Defaults);
    }

    void cleanup()
    {
        m_config.reset();
        m_dir.reset();
    }

    void loadsTheLastThousand()
    {
        writeFile(numbered(1500));
        const ino_t before = inode(logPath());
        LogRecorder log;
        auto events = open();

        QVERIFY(log.contains(QStringLiteral("[EventManager] Loading saved events : from=500 to=1500")));
        // Nothing is 30 days old: a count of 0 and no rewrite.
        const QString limit = QDateTime::currentDateTime().addDays(-30).toString(QStringLiteral("yyyy-MM-dd"));
        const QStringList deleted = log.matching(QStringLiteral("[EventManager] Deleted "));
        QCOMPARE(deleted.size(), 1);
        QVERIFY2(deleted.first().startsWith(QStringLiteral("[EventManager] Deleted 0 event(s) older than ") + limit),
                 qPrintable(deleted.first()));
        QCOMPARE(inode(logPath()), before);
        QCOMPARE(readFile().size(), 1500);

        const QStringList names = visibleNames(*events);
        QCOMPARE(names.size(), 1000);
        QCOMPARE(names.first(), QStringLiteral("E1499"));
        QCOMPARE(names.last(), QStringLiteral("E500"));
    }

    void pushKeepsAtMost1001()
    {
        writeFile(numbered(1000));
        auto events = open();
        const auto loaded = events->property("data").value<QList<QObject *>>();
        QCOMPARE(loaded.size(), 1000);
        QPointer<QObject> oldest = loaded.last();
        QCOMPARE(oldest->property("name").toString(), QStringLiteral("E0"));

        QSignalSpy changed(events.get(), &EventManager::dataChanged);
        auto *first = new Event(QStringLiteral("Board"), QStringLiteral("Ignition on"), QString(),
                                QDateTime::currentDateTime());
        events->push(first);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(first->parent(), events.get());
        QCOMPARE(visibleNames(*events).size(), 1001);
        QVERIFY(visibleNames(*events).contains(QStringLiteral("E0")));
        events->flush();
        QCOMPARE(readFile().size(), 1001);

        events->push(new Event(QStringLiteral("Board"), QStringLiteral("Ignition off"), QString(),
                               QDateTime::currentDateTime().addSecs(1)));
        const QStringList names = visibleNames(*events);
        QCOMPARE(names.size(), 1001);
        QVERIFY(!names.contains(QStringLiteral("E0")));
        QCOMPARE(names.first(), QStringLiteral("Ignition off"));
        events->flush();
        const QVector<Entry> file = readFile();
        QCOMPARE(file.size(), 1001);
        QCOMPARE(file.first().name, QStringLiteral("E1"));
        QCOMPARE(file.last().name, QStringLiteral("Ignition off"));

        // The dropped event goes with deferred deletion, not at once.
        QVERIFY(!oldest.isNull());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(oldest.isNull());

        // Nonsense is refused without harm.
        LogRecorder log;
        events->push(nullptr);
        events->push(first);
        QCOMPARE(log.matching(QStringLiteral("[EventManager] WARN: ")).size(), 2);
        QCOMPARE(visibleNames(*events).size(), 1001);
    }

    void purgeAndClear()
    {
        const QDateTime now = QDateTime::currentDateTime();
        writeFile({ { "General", "Ancient", "", now.addDays(-40) },
                    { "General", "Borderline", "", now.addDays(-30).addSecs(-5) },
                    { "Board", "Recent", "", now.addDays(-29) },
                    { "Board", "Fresh", "", now.addSecs(-10) } });
        const ino_t before = inode(logPath());
        LogRecorder log;
        auto events = open();
        QVERIFY(log.matching(QStringLiteral("[EventManager] Deleted 2 event(s) older than ")).size() == 1);
        QCOMPARE(visibleNames(*events), QStringList({ "Fresh", "Recent" }));
        events->flush();
        QVERIFY(inode(logPath()) != before);
        QCOMPARE(readFile().size(), 2);
        QCOMPARE(readFile().first().name, QStringLiteral("Recent"));

        // The limit itself is included.
        const QDateTime t1 = now.addSecs(-3);
        const QDateTime t2 = now.addSecs(-2);
        events->push(new Event("General", "A", "", t1));
        events->push(new Event("General", "B", "", t2));
        events->push(new Event("General", "C", "", now.addSecs(-1)));
        log.clear();
        events->clear(t2);
        QVERIFY(log.contains(QStringLiteral("[EventManager] Deleted 4 event(s) older than ")
                             + t2.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))));
        QCOMPARE(visibleNames(*events), QStringList({ "C" }));
        events->flush();
        QCOMPARE(readFile().size(), 1);

        events->clear();
        QVERIFY(visibleNames(*events).isEmpty());
        events->flush();
        QVERIFY(readFile().isEmpty());
        auto reopened = open();
        QVERIFY(visibleNames(*reopened).isEmpty());
    }

    void filters()
    {
        auto events = open();
        const QDateTime now = QDateTime::currentDateTime();
        const QDate today = now.date();
        events->push(new Event("Board", "Ignition on", "", QDateTime(today.addDays(-2), QTime(12, 0))));
        events->push(new Event("Board", "Ignition off", "", QDateTime(today.addDays(-1), QTime(23, 59, 59, 500))));
        events->push(new Event("General", "Application started", "", QDateTime(today, QTime(0, 0))));
        events->push(new Event("General", "Maintenance login", "", QDateTime(today, QTime(23, 59, 59, 500))));
        events->push(new Event("Board", "Ignition on", "", QDateTime(today.addDays(-10), QTime(8, 0))));

        QSignalSpy changed(events.get(), &EventManager::dataChanged);
        events->applyFilter(QStringLiteral("ign"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(visibleNames(*events), QStringList({ "Ignition off", "Ignition on", "Ignition on" }));

        // Severity is remembered but does not select anything.
        events->applyFilter(2);
        QCOMPARE(visibleNames(*events).size(), 3);

        events->applyFilterPeriod(QStringLiteral("Yesterday"));
        QCOMPARE(visibleNames(*events), QStringList({ "Ignition off" }));
        events->applyFilterPeriod(QStringLiteral("Last week"));
        QCOMPARE(visibleNames(*events), QStringList({ "Ignition off", "Ignition on" }));
        events->applyFilterPeriod(QStringLiteral("All history"));
        QCOMPARE(visibleNames(*events), QStringList({ "Ignition off", "Ignition on", "Ignition on" }));

        events->applyFilter(QString());
        events->applyFilterPeriod(QStringLiteral("Today"));
        QCOMPARE(visibleNames(*events), QStringList({ "Maintenance login", "Application started" }));
        // Period names are exact.
        events->applyFilterPeriod(QStringLiteral("today"));
        QCOMPARE(visibleNames(*events).size(), 5);

        // Explicit bounds are inclusive at both ends.
        events->applyFilter(QDateTime(today.addDays(-2), QTime(12, 0)), QDateTime(today, QTime(0, 0)));
        QCOMPARE(visibleNames(*events), QStringList({ "Application started", "Ignition off", "Ignition on" }));
    }

    void roundTrip()
    {
        const QDateTime now = QDateTime::currentDateTime();
        QVector<Entry> written {
            { "General", "Maintenance login", "User ID : 0\nFirst name : KIVO\nLast name : Admin\nDate : x", now.addMSecs(-1234) },
            { "Board", "Ignition off", "", now.addSecs(-1) },
            { "Κατηγορία", "a=b; c\\d \"quoted\" [events]", "#not a comment\n\ttab", now },
        };
        {
            // A kill during a save must leave the old or the new file, never a
            // half-written one: each save writes a new file and renames it over.
            auto events = open();
            ino_t previous = 0;
            for (const Entry &entry : written) {
                events->push(new Event(entry.category, entry.name, entry.desc, entry.timestamp));
                events->flush();
                QVERIFY(inode(logPath()) != previous);
                previous = inode(logPath());
            }
            const QStringList files = QDir(m_dir->path()).entryList(QStringList { "events.ini*" }, QDir::Files);
            QCOMPARE(files, QStringList({ "events.ini" }));

            // Told once the last push is on disk; not if the one asking is gone.
            QVector<Entry> onDisk;
            QObject context;
            auto *gone = new QObject;
            bool goneCalled = false;
            events->push(new Event("General", "Last", "", now.addSecs(1)));
            events->whenSaved(&context, [&] { onDisk = readFile(); });
            events->whenSaved(gone, [&] { goneCalled = true; });
            delete gone;
            QTRY_COMPARE(onDisk.size(), written.size() + 1);
            QCOMPARE(onDisk.last().name, QStringLiteral("Last"));
            QVERIFY(!goneCalled);
            written.append(onDisk.last());
        }
        auto reopened = open();
        auto loaded = reopened->property("data").value<QList<QObject *>>();
        QCOMPARE(loaded.size(), written.size());
        std::reverse(loaded.begin(), loaded.end());
        for (int i = 0; i < written.size(); ++i) {
            const auto *event = qobject_cast<const Event *>(loaded.at(i));
            QVERIFY(event);
            QCOMPARE(event->category(), written[i].category);
            QCOMPARE(event->name(), written[i].name);
            QCOMPARE(event->description(), written[i].desc);
            QCOMPARE(event->timestamp(), written[i].timestamp);
            QCOMPARE(event->property("description").toString(), written[i].desc);
        }
    }

    // Events arriving faster than they are written (a busy terminal, a slow
    // card) must not hold up whoever waits for one of them: the shutdown.
    void savedWhileEventsKeepComing()
    {
        auto events = open();
        for (int i = 0; i < 500; ++i)
            events->push(new Event("Board", "Ignition on", "", QDateTime::currentDateTime()));
        events->push(new Event("Board", "Ignition off", "", QDateTime::currentDateTime()));
        QObject context;
        bool saved = false;
        events->whenSaved(&context, [&] { saved = readFile().size() >= 501; });
        QElapsedTimer busy;
        busy.start();
        while (!saved && busy.elapsed() < 30000) {
            events->push(new Event("General", "Busy", "", QDateTime::currentDateTime()));
            QCoreApplication::processEvents();
        }
        QVERIFY(saved);
    }

    void damagedFile()
    {
        QFile file(logPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x00\x01\xff\xfe garbage\n=\n[[[events\n", 24));
        file.close();
        {
            LogRecorder log;
            auto events = open();
            QVERIFY(log.contains(QStringLiteral("[EventManager] WARN: Cannot read the event log file ") + logPath()));
            QVERIFY(visibleNames(*events).isEmpty());
            // The next save replaces the damaged file with a clean one.
            events->push(new Event("General", "Application started", "", QDateTime::currentDateTime()));
            events->flush();
            QVERIFY(!log.contains(QStringLiteral("Cannot write")));
        }
        {
            LogRecorder log;
            auto events = open();
            QVERIFY(!log.contains(QStringLiteral("WARN")));
            QCOMPARE(visibleNames(*events), QStringList({ "Application started" }));
        }

        // A typed value whose list count asks for more memory than there is:
        // Qt gives up inside QSettings. The log starts empty, and the next
        // save keeps the damaged file aside for a technician.
        const QByteArray impossible("[events]\n1\\category=General\n"
                                    "1\\timestamp=@DateTime(\\0\\0\\0\\x31\\0\\x31\\xee\\x62\\x80)\nsize=1\n");
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(impossible);
        file.close();
        {
            LogRecorder log;
            auto events = open();
            QVERIFY(log.contains(QStringLiteral("[EventManager] WARN: Cannot read the event log file ") + logPath()));
            QVERIFY(visibleNames(*events).isEmpty());
            events->push(new Event("General", "Application started", "", QDateTime::currentDateTime()));
            QCOMPARE(visibleNames(*events), QStringList({ "Application started" }));
            QVERIFY(log.contains(QStringLiteral("[SettingsFile] WARN: Damaged settings file kept as ") + logPath()
                                 + QStringLiteral(".damaged")));
        }
        QFile damaged(logPath() + QStringLiteral(".damaged"));
        QVERIFY(damaged.open(QIODevice::ReadOnly));
        QCOMPARE(damaged.readAll(), impossible);
        QCOMPARE(readFile().size(), 1);

        // A size with no entries behind it: the empty entries have no time and go.
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[events]\nsize=2000000000\n1\\name=x\n");
        file.close();
        LogRecorder log;
        auto events = open();
        QVERIFY(log.contains(QStringLiteral("[EventManager] Loading saved events : from=1999999000 to=2000000000")));
        QVERIFY(log.contains(QStringLiteral("[EventManager] Deleted 1000 event(s) older than ")));
        QVERIFY(visibleNames(*events).isEmpty());
        events->flush();
        QVERIFY(readFile().isEmpty());

        // A log that cannot be written still works in memory and says so.
        QFile blocker(m_dir->filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString unwritable = blocker.fileName() + QStringLiteral("/events.ini");
        EventManager lost(*m_config, unwritable);
        lost.push(new Event("General", "Application started", "", QDateTime::currentDateTime()));
        lost.flush();
        QVERIFY(log.contains(QStringLiteral("[EventManager] WARN: Cannot write the event log file ") + unwritable));
        QCOMPARE(visibleNames(lost), QStringList({ "Application started" }));
    }

};

QTEST_GUILESS_MAIN(tst_EventLog)
#include "tst_eventlog.moc"
