#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

namespace manager {

class MqttTransport;

/*
 * One topic filter subscribed through an MqttTransport. Created by
 * MqttTransport::subscribe(); the transport is its parent. Once it reaches
 * Unsubscribed (after an UNSUBACK, an unsubscribe while offline, or any loss
 * of the connection) or Error (broker refused it), the transport forgets it
 * and deletes it from the event loop: hold it through a QPointer if you keep
 * it around. Calling deleteLater() on it yourself is safe as well.
 */
class MqttSubscription : public QObject
{
    Q_OBJECT
public:
    enum SubscriptionState { Unsubscribed, SubscriptionPending, Subscribed, UnsubscriptionPending, Error };
    Q_ENUM(SubscriptionState)

    ~MqttSubscription() override;

    QString topic() const;
    quint8 qos() const;
    SubscriptionState state() const;

public slots:
    void unsubscribe();

signals:
    void stateChanged(manager::MqttSubscription::SubscriptionState state);
    void messageReceived(const QByteArray &message, const QString &topic);

private:
    friend class MqttTransport;

    MqttSubscription(const QString &topic, quint8 qos, MqttTransport *transport);
    void setState(SubscriptionState state);
    void setQos(quint8 qos);

    QString m_topic;
    QByteArray m_filter; // m_topic as libmosquitto matches it, made once
    bool m_wildcard = false; // m_filter holds "+" or "#"
    quint8 m_qos = 0;
    SubscriptionState m_state = Unsubscribed;
    QPointer<MqttTransport> m_transport;
    // How many MqttTransport::subscribe() calls share this filter; the
    // broker is only told to unsubscribe when the last of them lets go.
    int m_users = 1;
};

} // namespace manager
