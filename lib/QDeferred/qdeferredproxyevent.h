#ifndef QDEFERREDPROXYEVENT_H
#define QDEFERREDPROXYEVENT_H

#include <QEvent>

#include <functional>

// Carries one deferred callback to the thread that registered it.
class QDeferredProxyEvent : public QEvent
{
public:
    static constexpr QEvent::Type ProxyEventType = static_cast<QEvent::Type>(QEvent::User + 123);

    explicit QDeferredProxyEvent(std::function<void()> function);

    void run() const;

private:
    std::function<void()> m_function;
};

#endif // QDEFERREDPROXYEVENT_H
