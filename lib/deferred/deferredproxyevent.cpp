#include "deferredproxyevent.h"

#include <utility>

DeferredProxyEvent::DeferredProxyEvent(std::function<void()> function)
    : QEvent(ProxyEventType)
    , m_function(std::move(function))
{
}

void DeferredProxyEvent::run() const
{
    if (m_function)
        m_function();
}
