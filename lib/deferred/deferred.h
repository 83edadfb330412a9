#ifndef DEFERRED_H
#define DEFERRED_H

#include "deferreddata.h"
#include "deferredproxyobject.h"

#include <QExplicitlySharedDataPointer>
#include <QMutexLocker>
#include <QtGlobal>

#include <functional>
#include <tuple>
#include <utility>

// A value (of the types Types...) that is settled once, by resolve() or
// reject(), and handed to the callbacks registered with done() and fail() on
// the thread that registered each of them.
//
// Copies share one state. The state's mutex is never held while callbacks
// run: settlement takes the callback lists out under the lock and calls them
// after releasing it, so a callback may register callbacks on, or settle,
// any deferred, the same one included.
template<class... Types>
class Deferred
{
public:
    enum State { Pending = 0, Resolved = 1, Rejected = 2 };

    using Callback = std::function<void(Types...)>;
    using PlainCallback = std::function<void()>;
    using ThenCallback = std::function<Deferred<Types...>(Types...)>;

    Deferred();

    State state() const;

    void resolve(const Types &...args);
    void reject(const Types &...args);
    void notify(const Types &...args);

    Deferred<Types...> done(const Callback &callback, Qt::ConnectionType type = Qt::AutoConnection);
    // Not called when the deferred was rejected without values (see
    // thenAlias()), whether registered before or after the rejection.
    Deferred<Types...> fail(const Callback &callback, Qt::ConnectionType type = Qt::AutoConnection);
    Deferred<Types...> progress(const Callback &callback, Qt::ConnectionType type = Qt::AutoConnection);

    // Runs `callback` with the values once this deferred is resolved and
    // returns a deferred that follows the one `callback` returns: its
    // resolution, rejection and progress are passed on with their values.
    // When this deferred is rejected, the returned one is rejected without
    // values: only failWithoutValues() callbacks run on it.
    Deferred<Types...> thenAlias(const ThenCallback &callback, Qt::ConnectionType type = Qt::AutoConnection);

    // Runs `callback`, which takes no parameters, on every rejection, with
    // or without values. thenAlias() chains deferreds through it.
    Deferred<Types...> failWithoutValues(const PlainCallback &callback,
                                          Qt::ConnectionType type = Qt::AutoConnection);

private:
    using Data = DeferredData<Types...>;
    using Entry = typename Data::Entry;
    using Args = std::tuple<Types...>;

    void addCallback(typename Data::Kind kind, const Entry &entry);
    void settle(State state, const Args *args, const char *refusal);
    void rejectWithoutValues();

    static void deliver(quint64 threadKey, quint64 currentKey, const Entry &entry, const Args *args);
    static void call(const Entry &entry, const Args *args);

    QExplicitlySharedDataPointer<Data> m_data;
};

template<class... Types>
Deferred<Types...>::Deferred()
    : m_data(new Data)
{
}

template<class... Types>
typename Deferred<Types...>::State Deferred<Types...>::state() const
{
    QMutexLocker locker(&m_data->m_mutex);
    return static_cast<State>(m_data->m_state);
}

template<class... Types>
void Deferred<Types...>::resolve(const Types &...args)
{
    const Args values(args...);
    settle(Resolved, &values, "Cannot resolve already processed deferred object.");
}

template<class... Types>
void Deferred<Types...>::reject(const Types &...args)
{
    const Args values(args...);
    settle(Rejected, &values, "Cannot reject already processed deferred object.");
}

template<class... Types>
void Deferred<Types...>::notify(const Types &...args)
{
    QVector<typename Data::ThreadCallbacks> threads;
    {
        QMutexLocker locker(&m_data->m_mutex);
        if (m_data->m_state != Pending) {
            locker.unlock();
            qWarning("Cannot notify already processed deferred object.");
            return;
        }
        threads = m_data->m_threads;
    }
    const Args values(args...);
    const quint64 currentKey = DeferredProxyObject::currentThreadKey();
    for (const auto &callbacks : qAsConst(threads)) {
        for (const Entry &entry : callbacks.progress)
            deliver(callbacks.threadKey, currentKey, entry, &values);
    }
}

template<class... Types>
Deferred<Types...> Deferred<Types...>::done(const Callback &callback, Qt::ConnectionType type)
{
    addCallback(Data::Done, Entry{callback, PlainCallback(), type});
    return *this;
}

template<class... Types>
Deferred<Types...> Deferred<Types...>::fail(const Callback &callback, Qt::ConnectionType type)
{
    addCallback(Data::Fail, Entry{callback, PlainCallback(), type});
    return *this;
}

template<class... Types>
Deferred<Types...> Deferred<Types...>::progress(const Callback &callback, Qt::ConnectionType type)
{
    addCallback(Data::Progress, Entry{callback, PlainCallback(), type});
    return *this;
}

template<class... Types>
Deferred<Types...> Deferred<Types...>::failWithoutValues(const PlainCallback &callback,
                                                           Qt::ConnectionType type)
{
    addCallback(Data::Fail, Entry{Callback(), callback, type});
    return *this;
}

template<class... Types>
Deferred<Types...> Deferred<Types...>::thenAlias(const ThenCallback &callback, Qt::ConnectionType type)
{
    Deferred<Types...> next;
    if (!callback) {
        qWarning("Cannot register an empty callback on a deferred object.");
        return next;
    }
    // Forwarding runs directly: `next` delivers to its own callbacks by
    // their own connection types.
    done([next, callback](Types... values) mutable {
        Deferred<Types...> inner = callback(values...);
        inner.done([next](Types... result) mutable { next.resolve(result...); }, Qt::DirectConnection);
        inner.progress([next](Types... step) mutable { next.notify(step...); }, Qt::DirectConnection);
        // An inner deferred that is itself rejected without values (it came
        // from another thenAlias) passes that on, so chains never hang.
        Entry forward{[next](Types... error) mutable { next.reject(error...); },
                      [next]() mutable { next.rejectWithoutValues(); }, Qt::DirectConnection};
        inner.addCallback(Data::Fail, forward);
    }, type);
    failWithoutValues([next]() mutable { next.rejectWithoutValues(); }, Qt::DirectConnection);
    return next;
}

template<class... Types>
void Deferred<Types...>::addCallback(typename Data::Kind kind, const Entry &entry)
{
    if (!entry.withValues && !entry.withoutValues) {
        qWarning("Cannot register an empty callback on a deferred object.");
        return;
    }
    // Taken before the state's mutex: the two locks are never nested.
    const quint64 threadKey = DeferredProxyObject::registerCurrentThread();

    QMutexLocker locker(&m_data->m_mutex);
    const int state = m_data->m_state;
    if (state == Pending) {
        m_data->callbacksOf(threadKey).list(kind).append(entry);
        return;
    }
    // A done on a rejected deferred, a fail on a resolved one or a progress
    // on a settled one could never run, so it is not kept.
    const bool matches = (kind == Data::Done && state == Resolved)
                         || (kind == Data::Fail && state == Rejected);
    if (!matches)
        return;
    // The stored values never change after settlement: they can be read
    // without the lock, which a callback may need to take again.
    const Args *args = m_data->m_args ? &*m_data->m_args : nullptr;
    locker.unlock();
    call(entry, args);
}

template<class... Types>
void Deferred<Types...>::settle(State state, const Args *args, const char *refusal)
{
    QVector<typename Data::ThreadCallbacks> threads;
    {
        QMutexLocker locker(&m_data->m_mutex);
        if (m_data->m_state != Pending) {
            locker.unlock();
            qWarning("%s", refusal);
            return;
        }
        m_data->m_state = state;
        if (args)
            m_data->m_args = *args;
        // Taking the lists out also releases callbacks that can no longer
        // run, and with them any handles they hold.
        threads.swap(m_data->m_threads);
    }
    const quint64 currentKey = DeferredProxyObject::currentThreadKey();
    for (const auto &callbacks : qAsConst(threads)) {
        for (const Entry &entry : state == Resolved ? callbacks.done : callbacks.fail)
            deliver(callbacks.threadKey, currentKey, entry, args);
    }
}

template<class... Types>
void Deferred<Types...>::rejectWithoutValues()
{
    if constexpr (sizeof...(Types) == 0) {
        // No values to leave out: callbacks without parameters are all
        // there is, so this is an ordinary rejection.
        reject();
    } else {
        settle(Rejected, nullptr, "Cannot reject already processed deferred object.");
    }
}

template<class... Types>
void Deferred<Types...>::deliver(quint64 threadKey, quint64 currentKey, const Entry &entry, const Args *args)
{
    if (!(args && entry.withValues) && !entry.withoutValues)
        return;
    if (DeferredProxyObject::runsDirectly(threadKey, currentKey, entry.type)) {
        call(entry, args);
        return;
    }
    // The values are copied: the caller's arguments do not outlive this call.
    // A thread that has finished drops the call (post() returns false); it
    // could only have run there.
    if (args) {
        DeferredProxyObject::post(threadKey, [entry, values = *args]() { call(entry, &values); });
    } else {
        DeferredProxyObject::post(threadKey, [entry]() { call(entry, nullptr); });
    }
}

template<class... Types>
void Deferred<Types...>::call(const Entry &entry, const Args *args)
{
    if (args && entry.withValues)
        std::apply(entry.withValues, *args);
    else if (entry.withoutValues)
        entry.withoutValues();
}

#endif // DEFERRED_H
