#include "EventManager.h"

#include "Config.h"
#include "Event.h"
#include "SettingsFile.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSettings>
#include <QVector>

#include <algorithm>
#include <utility>

namespace {

const QString ArrayName = QStringLiteral("events");
const QString CategoryKey = QStringLiteral("category");
const QString NameKey = QStringLiteral("name");
const QString DescKey = QStringLiteral("desc");
const QString TimestampKey = QStringLiteral("timestamp");

QDateTime timestampOf(const QObject *object)
{
    return static_cast<const Event *>(object)->timestamp();
}

// What the writer's thread needs of an event: values, not the object.
struct Record
{
    QString category;
    QString name;
    QString description;
    QDateTime timestamp;
};

} // namespace

EventManager::EventManager(Config &config, QObject *parent)
    : EventManager(config, defaultFileName(), parent)
{
}

EventManager::EventManager(Config &config, const QString &fileName, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_fileName(fileName)
{
    qRegisterMetaType<QList<QObject *>>();
    load();
    clear(QDateTime::currentDateTime().addDays(-MaxAgeDays));
}

QString EventManager::defaultFileName()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/events.ini");
}

QVariant EventManager::data() const
{
    return QVariant::fromValue(m_visible);
}

QString EventManager::fileName() const
{
    return m_fileName;
}

void EventManager::load()
{
    QList<Event *> loaded;
    const bool decoded = SettingsFile::read(m_fileName, QSettings::IniFormat, [&](QSettings &settings) {
        // A damaged file still yields the entries QSettings could parse; the
        // next save writes them back in clean form.
        if (settings.status() != QSettings::NoError)
            qWarning().noquote().nospace() << "[EventManager] WARN: Cannot read the event log file " << m_fileName;

        const int size = qMax(settings.beginReadArray(ArrayName), 0);
        const int first = qMax(size - MaxLoaded, 0);
        qInfo().noquote().nospace() << QStringLiteral("[EventManager] Loading saved events : from=%1 to=%2").arg(first).arg(size);
        for (int i = first; i < size; ++i) {
            settings.setArrayIndex(i);
            loaded.append(new Event(settings.value(CategoryKey).toString(), settings.value(NameKey).toString(),
                                    settings.value(DescKey).toString(), settings.value(TimestampKey).toDateTime()));
        }
        settings.endArray();
    });
    // A file Qt cannot decode at all gives an empty log, and is set aside
    // for a technician before anything replaces it.
    if (!decoded) {
        qWarning().noquote().nospace() << "[EventManager] WARN: Cannot read the event log file " << m_fileName;
        qDeleteAll(loaded);
        SettingsFile::setAside(m_fileName);
        return;
    }
    for (Event *event : qAsConst(loaded)) {
        event->setParent(this);
        m_data.append(event);
    }
}

void EventManager::save()
{
    QVector<Record> records;
    records.reserve(m_data.size());
    for (const QObject *object : qAsConst(m_data)) {
        const auto *event = static_cast<const Event *>(object);
        records.append({ event->category(), event->name(), event->description(), event->timestamp() });
    }
    const quint64 save = ++m_handedIn;
    m_writer.submit([this, save, fileName = m_fileName, records = std::move(records)] {
        const bool written = SettingsFile::replace(fileName, QSettings::IniFormat, [&records](QSettings &settings) {
            settings.beginWriteArray(ArrayName, records.size());
            for (int i = 0; i < records.size(); ++i) {
                settings.setArrayIndex(i);
                settings.setValue(CategoryKey, records.at(i).category);
                settings.setValue(NameKey, records.at(i).name);
                settings.setValue(DescKey, records.at(i).description);
                settings.setValue(TimestampKey, records.at(i).timestamp);
            }
            settings.endArray();
        });
        if (!written)
            qWarning().noquote().nospace() << "[EventManager] WARN: Cannot write the event log file " << fileName;
        QMetaObject::invokeMethod(this, [this, save] { onSaved(save); }, Qt::QueuedConnection);
    });
}

void EventManager::flush()
{
    m_writer.flush();
}

void EventManager::whenSaved(QObject *context, const std::function<void()> &then)
{
    if (m_saved == m_handedIn) {
        then();
        return;
    }
    m_whenSaved.append({ context, m_handedIn, then });
}

void EventManager::onSaved(quint64 save)
{
    // Each save writes the whole list: a later one stands for those it
    // replaced, so events arriving all the time do not hold the callers up.
    m_saved = qMax(m_saved, save);
    auto waiting = std::exchange(m_whenSaved, {});
    for (const Waiting &caller : waiting) {
        if (caller.save > m_saved)
            m_whenSaved.append(caller);
        else if (caller.context)
            caller.then();
    }
}

void EventManager::update()
{
    m_visible.clear();
    for (QObject *object : qAsConst(m_data)) {
        const auto *event = static_cast<const Event *>(object);
        const QDateTime timestamp = event->timestamp();
        if (m_filterFrom.isValid() && timestamp < m_filterFrom)
            continue;
        if (m_filterTo.isValid() && timestamp > m_filterTo)
            continue;
        if (!m_filterName.isEmpty() && !event->name().contains(m_filterName, Qt::CaseInsensitive))
            continue;
        m_visible.append(object);
    }
    std::sort(m_visible.begin(), m_visible.end(),
              [](const QObject *a, const QObject *b) { return timestampOf(a) > timestampOf(b); });
    emit dataChanged();
}

void EventManager::push(Event *event)
{
    if (!event || m_data.contains(event)) {
        qWarning().noquote().nospace() << "[EventManager] WARN: Ignoring an empty or already logged event";
        return;
    }
    event->setParent(this);
    if (m_data.size() > MaxHeld)
        m_data.takeFirst()->deleteLater();
    m_data.append(event);
    save();
    update();
}

void EventManager::clear(const QDateTime &before)
{
    int count = 0;
    for (auto it = m_data.begin(); it != m_data.end();) {
        // An entry without a usable time (a damaged file) counts as the oldest.
        const QDateTime timestamp = timestampOf(*it);
        if (!timestamp.isValid() || timestamp <= before) {
            (*it)->deleteLater();
            it = m_data.erase(it);
            ++count;
        } else {
            ++it;
        }
    }
    qInfo().noquote().nospace() << QStringLiteral("[EventManager] Deleted %1 event(s) older than %2")
                                       .arg(count)
                                       .arg(before.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    if (count > 0)
        save();
    update();
}

void EventManager::clear()
{
    for (QObject *object : qAsConst(m_data))
        object->deleteLater();
    m_data.clear();
    save();
    update();
}

void EventManager::applyFilter(const QString &name)
{
    qInfo().noquote().nospace() << "[EventManager] Filtering : name=" << name;
    m_filterName = name;
    update();
}

void EventManager::applyFilter(int severity)
{
    // Events carry no severity yet: the value is kept, the view shows everything.
    qInfo().noquote().nospace() << "[EventManager] Filtering : severity=" << severity;
    m_filterSeverity = severity;
    update();
}

void EventManager::applyFilter(const QDateTime &from, const QDateTime &to)
{
    qInfo().noquote().nospace() << "[EventManager] Filtering : from=" << from.toString(Qt::TextDate)
                                << " to=" << to.toString(Qt::TextDate);
    m_filterFrom = from;
    m_filterTo = to;
    update();
}

void EventManager::applyFilter(const QDateTime &from)
{
    applyFilter(from, QDateTime::currentDateTime());
}

void EventManager::applyFilterPeriod(const QString &period)
{
    qInfo().noquote().nospace() << "[EventManager] Filtering (period) : " << period;
    const QDateTime now = QDateTime::currentDateTime();
    const QDate today = now.date();
    // The last millisecond of the day, so that nothing falls between two days.
    const QTime endOfDay(23, 59, 59, 999);

    if (period == QLatin1String("Last hour"))
        applyFilter(now.addSecs(-3600), now);
    else if (period == QLatin1String("Last 2 hours"))
        applyFilter(now.addSecs(-7200), now);
    else if (period == QLatin1String("Last 5 hours"))
        applyFilter(now.addSecs(-18000), now);
    else if (period == QLatin1String("Today"))
        applyFilter(QDateTime(today, QTime(0, 0)), QDateTime(today, endOfDay));
    else if (period == QLatin1String("Yesterday"))
        applyFilter(QDateTime(today.addDays(-1), QTime(0, 0)), QDateTime(today.addDays(-1), endOfDay));
    else if (period == QLatin1String("Last week"))
        applyFilter(QDateTime(today.addDays(-7), QTime(0, 0)), now);
    else if (period == QLatin1String("Last month"))
        applyFilter(QDateTime(today.addMonths(-1), QTime(0, 0)), now);
    else
        applyFilter(QDateTime(), QDateTime());
}
