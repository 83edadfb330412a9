#include "Connection.h"

#include "ServiceDispatcher.h"

namespace manager {

Connection::Connection(QObject *parent)
    : QObject(parent)
    , m_ipv4(this)
{
}

QString Connection::interface() const
{
    return m_interface;
}

QString Connection::state() const
{
    return m_state;
}

QString Connection::type() const
{
    return m_type;
}

IPv4 *Connection::ipv4()
{
    return &m_ipv4;
}

void Connection::fromMap(const QVariantMap &map)
{
    if (assignIfChanged(m_interface, map.value(QStringLiteral("interface")).toString()))
        emit interfaceChanged();
    if (assignIfChanged(m_state, map.value(QStringLiteral("stateStr")).toString()))
        emit stateChanged();
    if (assignIfChanged(m_type, map.value(QStringLiteral("typeStr")).toString()))
        emit typeChanged();

    const QVariantMap ipv4 = IPv4::normalized(map.value(QStringLiteral("ipv4")).toMap());
    if (ipv4 != m_ipv4.toMap()) {
        m_ipv4.fromMap(ipv4);
        emit ipv4Changed();
    }
}

} // namespace manager
