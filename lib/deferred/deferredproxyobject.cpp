#include "deferredproxyobject.h"

#include "deferredproxyevent.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <utility>

namespace {

// Process-wide registry of proxies; every access holds `mutex`. Posting also
// happens under it, so a proxy cannot be deleted while an event is being
// posted to it.
struct ProxyRegistry
{
    QMutex mutex;
    QHash<QThread *, DeferredProxyObject *> byThread;
    QHash<quint64, DeferredProxyObject *> byKey;
    quint64 lastKey = 0;
};

ProxyRegistry &registry()
{
    // Never destroyed: proxies of threads still running at exit (the main
    // thread at least) may be looked up until the very end of the process.
    static ProxyRegistry *instance = new ProxyRegistry;
    return *instance;
}

} // namespace

DeferredProxyObject::DeferredProxyObject(quint64 key)
    : m_key(key)
{
}

DeferredProxyObject::~DeferredProxyObject() = default;

quint64 DeferredProxyObject::registerCurrentThread()
{
    QThread *thread = QThread::currentThread();
    ProxyRegistry &reg = registry();
    QMutexLocker locker(&reg.mutex);
    if (DeferredProxyObject *proxy = reg.byThread.value(thread))
        return proxy->m_key;

    // Created here, so it lives in the calling thread.
    auto *proxy = new DeferredProxyObject(++reg.lastKey);
    reg.byThread.insert(thread, proxy);
    reg.byKey.insert(proxy->m_key, proxy);
    // finished is emitted by the ending thread itself, before it handles its
    // pending deferred deletions, so the proxy is gone once wait() returns.
    connect(thread, &QThread::finished, proxy, &DeferredProxyObject::onThreadFinished,
            Qt::DirectConnection);
    return proxy->m_key;
}

quint64 DeferredProxyObject::currentThreadKey()
{
    ProxyRegistry &reg = registry();
    QMutexLocker locker(&reg.mutex);
    const DeferredProxyObject *proxy = reg.byThread.value(QThread::currentThread());
    return proxy ? proxy->m_key : 0;
}

bool DeferredProxyObject::runsDirectly(quint64 key, quint64 currentKey, Qt::ConnectionType type)
{
    switch (type & ~Qt::UniqueConnection) {
    case Qt::DirectConnection:
        return true;
    case Qt::QueuedConnection:
    case Qt::BlockingQueuedConnection: // never blocks: treated as queued
        return false;
    default:
        return key != 0 && key == currentKey;
    }
}

bool DeferredProxyObject::post(quint64 key, std::function<void()> function)
{
    ProxyRegistry &reg = registry();
    QMutexLocker locker(&reg.mutex);
    DeferredProxyObject *proxy = reg.byKey.value(key);
    if (!proxy)
        return false;
    QCoreApplication::postEvent(proxy, new DeferredProxyEvent(std::move(function)));
    return true;
}

DeferredProxyObject *DeferredProxyObject::proxyFor(QThread *thread)
{
    ProxyRegistry &reg = registry();
    QMutexLocker locker(&reg.mutex);
    return reg.byThread.value(thread);
}

quint64 DeferredProxyObject::key() const
{
    return m_key;
}

bool DeferredProxyObject::event(QEvent *event)
{
    if (event->type() == DeferredProxyEvent::ProxyEventType) {
        static_cast<DeferredProxyEvent *>(event)->run();
        return true;
    }
    return QObject::event(event);
}

void DeferredProxyObject::onThreadFinished()
{
    ProxyRegistry &reg = registry();
    {
        QMutexLocker locker(&reg.mutex);
        reg.byKey.remove(m_key);
        const auto it = reg.byThread.constFind(thread());
        if (it != reg.byThread.constEnd() && it.value() == this)
            reg.byThread.erase(it);
    }
    // Callbacks still queued here are discarded with the proxy: the thread
    // that was to run them has ended.
    deleteLater();
}
