#pragma once

#include "MqttClient.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonParseError>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace manager {

// The receive side every service client shares: keep only topics under the
// client's base, parse the payload as a JSON object (logging the client's own
// error line when it does not parse), and hand the object to the handler of
// the exact topic. Where clients differ (what an empty payload means, what
// the error line says) is a parameter.
class ServiceDispatcher
{
public:
    using Handler = std::function<void(const QJsonObject &object, const QString &topic)>;
    // The text of the critical line for a payload that does not parse.
    using ParseErrorText =
        std::function<QString(const QString &topic, const QByteArray &payload, const QJsonParseError &error)>;

    enum EmptyPayload {
        EmptyIsObject,    // an empty payload reads as {}
        EmptyIsParseError // an empty payload is logged and dropped like bad JSON
    };

    // "Failed to parse JSON message: " and the parser's error text.
    static QString parserErrorText(const QString &topic, const QByteArray &payload, const QJsonParseError &error);
    // "Failed to parse JSON message: " and the payload as it came.
    static QString rawPayloadText(const QString &topic, const QByteArray &payload, const QJsonParseError &error);

    // tag is the client's log tag ("[Board] "); it may be empty.
    ServiceDispatcher(const QString &tag, const QString &base, EmptyPayload empty = EmptyIsObject,
                      const ParseErrorText &parseErrorText = parserErrorText);

    QString base() const { return m_base; }

    // Handlers are tried in the order they were added; the first whose topic
    // (base + suffix) equals the message's topic gets it.
    void addHandler(const QString &suffix, const Handler &handler);
    // A handler for a topic outside the base (another service's topic the
    // client listens to); such a topic passes the base filter too.
    void addAbsoluteHandler(const QString &topic, const Handler &handler);

    // A topic outside the base that the client handles itself; it passes
    // the base filter.
    void acceptTopic(const QString &topic);

    // Returns true when a handler took the message.
    bool dispatch(const QByteArray &payload, const QString &topic) const;

    // Whether a topic, as the MQTT client's received signal names it, passes
    // the base filter.
    bool accepts(const QByteArray &topic) const;

    // Connects the MQTT client's one received signal, which carries every
    // message to every client, to the receiver's slot for the topics that
    // pass the base filter; the others never become a QString.
    template<typename Receiver>
    void forward(const MqttClient &mqtt, Receiver *receiver,
                 void (Receiver::*slot)(const QByteArray &payload, const QString &topic)) const
    {
        QObject::connect(&mqtt, &MqttClient::received, receiver,
                         [this, receiver, slot](const QByteArray &payload, const QByteArray &topic) {
                             if (accepts(topic))
                                 (receiver->*slot)(payload, QString::fromUtf8(topic));
                         });
    }

private:
    QString m_tag;
    QString m_base;
    EmptyPayload m_empty;
    ParseErrorText m_parseErrorText;
    QList<QPair<QString, Handler>> m_handlers;
    QStringList m_absoluteTopics;
    QByteArray m_baseUtf8;
    QList<QByteArray> m_absoluteTopicsUtf8;
};

// Stores value in member and returns true when it differs from what was there,
// the one rule behind every change signal of the service clients.
template<typename T>
bool assignIfChanged(T &member, const T &value)
{
    if (member == value)
        return false;
    member = value;
    return true;
}

} // namespace manager
