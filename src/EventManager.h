#pragma once

#include "BackgroundWriter.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>

class Config;
class Event;

// The persistent event log: a bounded list of events kept in an INI file,
// with a filtered, newest-first view for QML. The file is written on a
// thread of its own, the whole list each time; changes that come while a
// write runs go to disk together in the next one.
class EventManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariant data READ data NOTIFY dataChanged)

public:
    static constexpr int MaxLoaded = 1000;
    // A push into a list longer than this drops the oldest first (1001 at most).
    static constexpr int MaxHeld = 1000;
    static constexpr int MaxAgeDays = 30;

    // The log file is "events.ini" next to the executable.
    explicit EventManager(Config &config, QObject *parent = nullptr);
    EventManager(Config &config, const QString &fileName, QObject *parent = nullptr);

    QVariant data() const;
    QString fileName() const;

    void load();
    void save();
    void update();
    // Blocks until every change so far is on disk.
    void flush();
    // Calls then on this thread once every change so far is on disk (at once
    // if it is); not if context is gone by then.
    void whenSaved(QObject *context, const std::function<void()> &then);

signals:
    void dataChanged();

public slots:
    void push(Event *event);
    void clear(const QDateTime &before);
    void clear();
    void applyFilter(const QString &name);
    void applyFilter(int severity);
    void applyFilter(const QDateTime &from, const QDateTime &to);
    void applyFilter(const QDateTime &from);
    void applyFilterPeriod(const QString &period);

    // "events.ini" next to the executable.
    static QString defaultFileName();

private:
    void onSaved(quint64 save);

    struct Waiting
    {
        QPointer<QObject> context;
        quint64 save; // the save that holds what the caller waits for
        std::function<void()> then;
    };

    Config &m_config;
    QList<QObject *> m_data;
    QList<QObject *> m_visible;
    int m_filterSeverity = 0;
    QString m_filterName;
    QDateTime m_filterFrom;
    QDateTime m_filterTo;
    QString m_fileName;
    QVector<Waiting> m_whenSaved;
    quint64 m_handedIn = 0;
    quint64 m_saved = 0;
    // Last, so that it is gone, its writes done, before anything it writes.
    BackgroundWriter m_writer;
};
