#include "IPv4.h"

namespace {

const QString kAddress = QStringLiteral("address");
const QString kNetmask = QStringLiteral("netmask");
const QString kGateway = QStringLiteral("gateway");
const QString kDns0 = QStringLiteral("dns0");
const QString kDns1 = QStringLiteral("dns1");

} // namespace

IPv4::IPv4(QObject *parent)
    : QObject(parent)
{
    // All five keys are always present, so that two records (or a record and
    // a normalized message) compare by value.
    m_data = normalized({});
}

QString IPv4::address() const
{
    return m_data.value(kAddress).toString();
}

QString IPv4::gateway() const
{
    return m_data.value(kGateway).toString();
}

QString IPv4::mask() const
{
    return m_data.value(kNetmask).toString();
}

QString IPv4::dns0() const
{
    return m_data.value(kDns0).toString();
}

QString IPv4::dns1() const
{
    return m_data.value(kDns1).toString();
}

bool IPv4::setValue(const QString &key, const QString &value)
{
    if (m_data.value(key).toString() == value)
        return false;
    m_data.insert(key, value);
    return true;
}

void IPv4::setAddress(const QString &address)
{
    if (setValue(kAddress, address))
        emit addressChanged();
}

void IPv4::setGateway(const QString &gateway)
{
    if (setValue(kGateway, gateway))
        emit gatewayChanged();
}

void IPv4::setMask(const QString &mask)
{
    if (setValue(kNetmask, mask))
        emit maskChanged();
}

void IPv4::setDns0(const QString &dns0)
{
    if (setValue(kDns0, dns0))
        emit dns0Changed();
}

void IPv4::setDns1(const QString &dns1)
{
    if (setValue(kDns1, dns1))
        emit dns1Changed();
}

QVariantMap IPv4::toMap() const
{
    return m_data;
}

void IPv4::fromMap(const QVariantMap &map)
{
    setAddress(map.value(kAddress).toString());
    setMask(map.value(kNetmask).toString());
    setGateway(map.value(kGateway).toString());
    setDns0(map.value(kDns0).toString());
    setDns1(map.value(kDns1).toString());
}

QVariantMap IPv4::normalized(const QVariantMap &map)
{
    QVariantMap result;
    for (const QString &key : { kAddress, kNetmask, kGateway, kDns0, kDns1 })
        result.insert(key, map.value(key).toString());
    return result;
}
