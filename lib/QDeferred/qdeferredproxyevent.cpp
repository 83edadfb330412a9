#include "qdeferredproxyevent.h"

#include <utility>

QDeferredProxyEvent::QDeferredProxyEvent(std::function<void()> function)
    : QEvent(ProxyEventType)
    , m_function(std::move(function))
{
}

void QDeferredProxyEvent::run() const
{
    if (m_function)
        m_function();
}
