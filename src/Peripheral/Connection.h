#pragma once

#include "IPv4.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

namespace manager {

// One connection of the network service (the primary one, for the status
// screens): its interface, state, type and addresses.
class Connection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString interface READ interface NOTIFY interfaceChanged)
    Q_PROPERTY(QString state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString type READ type NOTIFY typeChanged)
    Q_PROPERTY(IPv4 *ipv4 READ ipv4 NOTIFY ipv4Changed)

public:
    explicit Connection(QObject *parent = nullptr);

    QString interface() const;
    QString state() const;
    QString type() const;
    IPv4 *ipv4();

    // "interface", "stateStr", "typeStr" and the map "ipv4" of the service's
    // connection object; each value is stored and signalled only on change.
    void fromMap(const QVariantMap &map);

signals:
    void interfaceChanged();
    void stateChanged();
    void typeChanged();
    void ipv4Changed();

private:
    QString m_interface;
    QString m_state;
    QString m_type;
    IPv4 m_ipv4;
};

} // namespace manager
