#ifndef DEFERREDDATA_H
#define DEFERREDDATA_H

#include <QMutex>
#include <QSharedData>
#include <QVector>

#include <functional>
#include <optional>
#include <tuple>

// State shared by all copies of one Deferred.
template<class... Types>
class DeferredData : public QSharedData
{
public:
    enum Kind { Done, Fail, Progress };

    struct Entry
    {
        // Called when values are at hand.
        std::function<void(Types...)> withValues;
        // Called when withValues is not set or there are no values (a
        // rejection without values).
        std::function<void()> withoutValues;
        Qt::ConnectionType type = Qt::AutoConnection;
    };

    // Callbacks of one registering thread, each list in registration order.
    struct ThreadCallbacks
    {
        quint64 threadKey = 0;
        QVector<Entry> done;
        QVector<Entry> fail;
        QVector<Entry> progress;

        QVector<Entry> &list(Kind kind)
        {
            return kind == Done ? done : kind == Fail ? fail : progress;
        }
    };

    DeferredData() = default;
    DeferredData(const DeferredData &) = delete;
    DeferredData &operator=(const DeferredData &) = delete;

    ThreadCallbacks &callbacksOf(quint64 threadKey)
    {
        for (ThreadCallbacks &callbacks : m_threads) {
            if (callbacks.threadKey == threadKey)
                return callbacks;
        }
        m_threads.append(ThreadCallbacks());
        m_threads.last().threadKey = threadKey;
        return m_threads.last();
    }

    QMutex m_mutex;
    int m_state = 0; // 0 pending, 1 resolved, 2 rejected
    // Empty while pending and after a rejection without values; never
    // changes once the deferred is settled.
    std::optional<std::tuple<Types...>> m_args;
    // One entry per registering thread, in order of first registration.
    QVector<ThreadCallbacks> m_threads;
};

#endif // DEFERREDDATA_H
