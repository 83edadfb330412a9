#ifndef DEFERREDPROXYEVENT_H
#define DEFERREDPROXYEVENT_H

#include <QEvent>

#include <functional>

// Carries one deferred callback to the thread that registered it.
class DeferredProxyEvent : public QEvent
{
public:
    static constexpr QEvent::Type ProxyEventType = static_cast<QEvent::Type>(QEvent::User + 123);

    explicit DeferredProxyEvent(std::function<void()> function);

    void run() const;

private:
    std::function<void()> m_function;
};

#endif // DEFERREDPROXYEVENT_H
