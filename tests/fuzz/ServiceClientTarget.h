#pragma once

#include "FuzzDriver.h"
#include "MqttClient.h"

namespace fuzz {

// Delivers the messages of one input, in order, through the broker
// connection's received signal: that signal is a client's only way in, so no
// broker is needed. Topics starting with "/" go under topicBase.
inline void deliver(manager::MqttClient &mqtt, const uint8_t *data, size_t size, const QString &topicBase)
{
    const QList<Message> input = messages(data, size, topicBase);
    for (const Message &message : input) {
        emit mqtt.received(message.payload, message.topic.toUtf8());
        settle();
    }
}

// Feeds one input to a fresh client of a device service, then reads the
// client's state as the screens would. topicBase is where the client's topics
// live, when that is not the service base the client is given.
template<typename Client>
int serviceClient(const uint8_t *data, size_t size, const QString &serviceBase,
                  const QString &topicBase = QString())
{
    init();
    manager::MqttClient mqtt;
    {
        Client client(mqtt, serviceBase);
        deliver(mqtt, data, size, topicBase.isEmpty() ? serviceBase : topicBase);
        readProperties(&client);
    }
    settle();
    return 0;
}

} // namespace fuzz
