#ifndef DEFERREDPROXYOBJECT_H
#define DEFERREDPROXYOBJECT_H

#include <QObject>

#include <functional>

class QThread;

// Runs deferred callbacks in the thread that registered them.
//
// There is one proxy per thread that ever registered a callback. It lives in
// that thread and is dropped when the thread finishes. Threads are identified
// by the key of their proxy, not by the QThread pointer, so that a thread
// that was restarted, or a new QThread that happens to get the address of a
// deleted one, never receives callbacks meant for a thread that has ended.
class DeferredProxyObject : public QObject
{
    Q_OBJECT

public:
    ~DeferredProxyObject() override;

    // Key of the calling thread, creating its proxy on first use.
    static quint64 registerCurrentThread();
    // Key of the calling thread, or 0 when it has no proxy.
    static quint64 currentThreadKey();
    // Whether a callback registered by thread `key` with `type` runs in the
    // current thread (whose key is `currentKey`) instead of being posted.
    static bool runsDirectly(quint64 key, quint64 currentKey, Qt::ConnectionType type);
    // Queues `function` for the event loop of thread `key`. Returns false when
    // that thread has finished; the function is then dropped.
    static bool post(quint64 key, std::function<void()> function);
    // The live proxy of `thread`, or nullptr. Diagnostics only: the object
    // belongs to that thread and goes away when it finishes.
    static DeferredProxyObject *proxyFor(QThread *thread);

    quint64 key() const;

protected:
    bool event(QEvent *event) override;

private:
    explicit DeferredProxyObject(quint64 key);

    void onThreadFinished();

    const quint64 m_key;
};

#endif // DEFERREDPROXYOBJECT_H
