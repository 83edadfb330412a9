#include "MqttClient.h"

#include "MqttSubscription.h"
#include "Secrets.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <memory>

namespace manager {

namespace {

QDebug tagged(QDebug debug)
{
    debug.noquote().nospace() << "[MqttClient] ";
    return debug;
}

bool debugEnabled()
{
    return QLoggingCategory::defaultCategory()->isDebugEnabled();
}

const char *boolText(bool value)
{
    return value ? "true" : "false";
}

QString jsonText(const QJsonValue &value)
{
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    return value.toVariant().toString();
}

} // namespace

MqttClient::MqttClient(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<MqttTransport::ClientState>("ClientState");
    qRegisterMetaType<MqttTransport::ClientError>("ClientError");
}

MqttClient::~MqttClient() = default;

void MqttClient::setHostname(const QString &value) { hostname = value; }
void MqttClient::setPort(unsigned int value) { port = value; }
void MqttClient::setUsername(const QString &value) { username = value; }
void MqttClient::setPassword(const QString &value) { password = value; }
void MqttClient::setRetryMillis(unsigned int value) { retryMillis = value; }
void MqttClient::setEncrypted(bool value) { encrypted = value; }
void MqttClient::setCleanSession(bool value) { cleanSession = value; }
void MqttClient::setClientId(const QString &value) { clientId = value; }
void MqttClient::setKeepAlive(unsigned char value) { keepAlive = value; }
void MqttClient::setWillMessage(const QByteArray &value) { willMessage = value; }
void MqttClient::setWillQoS(unsigned char value) { willQos = value; }
void MqttClient::setWillRetain(bool value) { willRetain = value; }
void MqttClient::setWillTopic(const QString &value) { willTopic = value; }

MqttTransport::ClientState MqttClient::state() const
{
    return client ? client->state() : MqttTransport::Disconnected;
}

bool MqttClient::isConnected() const
{
    return client && client->state() == MqttTransport::Connected;
}

void MqttClient::connect()
{
    tagged(qInfo()) << "Connecting to host";

    if (!connectionTimer) {
        connectionTimer = new QTimer(this);
        // One attempt is bounded once; the next attempt restarts it.
        connectionTimer->setSingleShot(true);
        QObject::connect(connectionTimer, &QTimer::timeout, this, &MqttClient::onTimeout);
    }
    connectionTimer->setInterval(int(retryMillis));
    tagged(qDebug()) << "Applying client configuration:";
    tagged(qDebug()) << "Retry interval millis: " << retryMillis;

    if (!client) {
        client = new MqttTransport(this);
        QObject::connect(client, &MqttTransport::connected, this, &MqttClient::connected);
        QObject::connect(client, &MqttTransport::connected, this, &MqttClient::onConnected);
        QObject::connect(client, &MqttTransport::disconnected, this, &MqttClient::disconnected);
        QObject::connect(client, &MqttTransport::disconnected, this, &MqttClient::onDisconnected);
        QObject::connect(client, &MqttTransport::errorChanged, this, &MqttClient::onError);
        QObject::connect(client, &MqttTransport::stateChanged, this, &MqttClient::onStateChanged);
        QObject::connect(client, &MqttTransport::messageReceived, this, &MqttClient::onReceived);
    }
    tagged(qDebug()) << "Applying client configuration:";
    tagged(qDebug()) << "Hostname: " << hostname;
    tagged(qDebug()) << "Port    : " << port;
    tagged(qDebug()) << "Username: " << username;
    tagged(qDebug()) << "CleanSession: " << boolText(cleanSession);
    tagged(qDebug()) << "Client Id   : " << clientId;
    tagged(qDebug()) << "Keepalive   : " << keepAlive;
    tagged(qDebug()) << "Will Message: " << willMessage;
    tagged(qDebug()) << "Will QoS    : " << willQos;
    tagged(qDebug()) << "Will Retain : " << boolText(willRetain);
    tagged(qDebug()) << "Will Topic  : " << willTopic;
    client->setHostname(hostname);
    client->setPort(quint16(port));
    client->setUsername(username);
    client->setPassword(password);
    client->setCleanSession(cleanSession);
    client->setClientId(clientId);
    client->setKeepAlive(keepAlive);
    client->setWillTopic(willTopic);
    client->setWillMessage(willMessage);
    client->setWillQoS(willQos);
    client->setWillRetain(willRetain);

    if (encrypted)
        tagged(qWarning()) << "Encryption not yet supported";

    client->connectToHost();
}

void MqttClient::disconnect()
{
    tagged(qInfo()) << "Disconnecting from host";
    if (client)
        client->disconnectFromHost();
}

void MqttClient::onStateChanged(MqttTransport::ClientState state)
{
    switch (state) {
    case MqttTransport::Connecting:
        tagged(qDebug()) << "State is Connecting.";
        connectionTimer->start();
        break;
    case MqttTransport::Connected:
        tagged(qDebug()) << "State is Connected.";
        connectionTimer->stop();
        break;
    case MqttTransport::Disconnected:
        tagged(qDebug()) << "State is Disconnected.";
        connectionTimer->stop();
        QTimer::singleShot(int(retryMillis), this, &MqttClient::onReconnect);
        break;
    }
}

void MqttClient::onTimeout()
{
    // Only an attempt still under way is cut; the Disconnected state that
    // follows schedules the next one.
    if (client && client->state() == MqttTransport::Connecting)
        client->closeTransport();
}

void MqttClient::onReconnect()
{
    if (client && client->state() == MqttTransport::Disconnected)
        connect();
}

void MqttClient::onConnected()
{
    tagged(qInfo()) << "Connected to broker " << hostname;
    const auto topics = subsTopics;
    for (const auto &entry : topics)
        doSubscribe(entry.first, entry.second);
}

void MqttClient::onDisconnected()
{
    tagged(qInfo()) << "Disconnected from broker " << hostname;
}

void MqttClient::subscribe(const QString &topic, uchar qos)
{
    subsTopics.append(qMakePair(topic, int(qos)));
    if (isConnected())
        doSubscribe(topic, qos);
}

void MqttClient::doSubscribe(const QString &filter, int qos)
{
    tagged(qInfo()) << "Subscribing to '" << filter << "' with QoS = " << qos;
    if (!client->subscribe(filter, quint8(qos)))
        emit error(QStringLiteral("Subscription to ") + filter + QStringLiteral(" failed."));
}

bool MqttClient::publish(const QByteArray &data, const QString &topic, uchar qos, bool retain)
{
    if (!isConnected())
        return false;
    // Payloads are masked only when debug output is on: this path carries every message.
    if (debugEnabled())
        tagged(qDebug()) << "Publishing to topic '" << topic << "' with Qos = " << qos << " and Retain = "
                         << boolText(retain) << ":\n" << maskSecrets(data);
    if (client->publish(topic, data, qos, retain) == -1) {
        emit error(QStringLiteral("Publish to ") + topic + QStringLiteral(" failed."));
        return false;
    }
    return true;
}

void MqttClient::onReceived(const QByteArray &message, const QString &topic)
{
    if (debugEnabled())
        tagged(qDebug()) << "Received on topic: " << topic << "\n" << maskSecrets(message);
    emit received(message, topic.toUtf8());
}

void MqttClient::onError(MqttTransport::ClientError e)
{
    if (e == MqttTransport::NoError)
        return;
    QDebug warning = tagged(qWarning());
    switch (e) {
    case MqttTransport::InvalidProtocolVersion:
        warning << "Invalid protocol version: " << client->protocolVersion() << ". "
                << "Broker does not accept a connection using the "
                << "specified protocol version.";
        break;
    case MqttTransport::IdRejected:
        warning << "Id rejected: " << clientId << ". "
                << "The client ID is malformed. This might be related to "
                << "its length.";
        break;
    case MqttTransport::ServerUnavailable:
        warning << "Server unavailable: " << hostname << ":" << port << ". "
                << "The network connection has been established, but the "
                << "service is unavailable on the broker side.";
        break;
    case MqttTransport::BadUsernameOrPassword:
        warning << "Bad username or password. The data in the username or "
                << "password is malformed.";
        break;
    case MqttTransport::NotAuthorized:
        warning << "Not authorized: " << clientId << ". "
                << "The client is not authorized to connect.";
        break;
    case MqttTransport::TransportInvalid:
        warning << "Transport invalid: "
                << "The underlying transport caused an error. For "
                << "example, the connection might have been interrupted "
                << "unexpectedly.";
        break;
    case MqttTransport::ProtocolViolation:
        warning << "Protocol violation:"
                << "The client encountered a protocol violation, and "
                << "therefore closed the connection.";
        break;
    default:
        warning << "Unknown error.";
        break;
    }
    emit error(QStringLiteral("Mqtt client error"));
}

Deferred<QJsonValue> MqttClient::waitTopic(const QString &topic, int msec)
{
    Deferred<QJsonValue> deferred;
    if (!isConnected()) {
        deferred.reject(QJsonValue(QStringLiteral("Not connected")));
        return deferred;
    }
    MqttSubscription *subscription = client->subscribe(topic, 1);
    if (!subscription) {
        deferred.reject(QJsonValue(QStringLiteral("Subscription failed")));
        return deferred;
    }

    QPointer<QTimer> timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(msec);
    // Settles the call once: a late or second answer is dropped.
    auto finished = std::make_shared<std::atomic_bool>(false);
    // The subscription may be shared with a service client that stays
    // subscribed, so this call's handler must let go of it by itself.
    auto messageConnection = std::make_shared<QMetaObject::Connection>();
    QPointer<MqttTransport> transport = client;
    QPointer<MqttSubscription> taken = subscription;
    auto release = [timer, transport, taken, messageConnection]() {
        QObject::disconnect(*messageConnection);
        if (timer) {
            timer->stop();
            timer->deleteLater();
        }
        if (transport)
            transport->release(taken);
    };

    *messageConnection = QObject::connect(
        subscription, &MqttSubscription::messageReceived, subscription,
        [deferred, finished, release](const QByteArray &message, const QString &) mutable {
            release();
            if (finished->exchange(true))
                return;
            QJsonParseError parseError;
            const QJsonDocument document =
                QJsonDocument::fromJson(message.isEmpty() ? QByteArrayLiteral("{}") : message, &parseError);
            if (parseError.error == QJsonParseError::NoError && document.isObject())
                deferred.resolve(QJsonValue(document.object()));
            else
                deferred.reject(QJsonValue(QStringLiteral("Invalid response")));
        },
        Qt::DirectConnection);

    QObject::connect(timer, &QTimer::timeout, timer, [deferred, finished, release]() mutable {
        release();
        if (!finished->exchange(true))
            deferred.reject(QJsonValue(QStringLiteral("Timeout")));
    });

    // Once unsubscribed the transport deletes the subscription itself.

    timer->start();
    return deferred;
}

Deferred<QJsonValue> MqttClient::executeRpc(const QString &topic, const QString &rpcId, const QJsonObject &request,
                                             int msec)
{
    const QString requestTopic = topic + QStringLiteral("/request/") + rpcId;
    const QString responseTopic = topic + QStringLiteral("/response/") + rpcId;
    const QByteArray payload = QJsonDocument(request).toJson(QJsonDocument::Compact);

    // The answer's subscription is made before the request goes out, so an
    // instant answer cannot be missed.
    Deferred<QJsonValue> deferred = waitTopic(responseTopic, msec);
    deferred
        .fail([](const QJsonValue &failure) {
            tagged(qCritical()) << "[RPC] ERROR : " << jsonText(failure);
        })
        .done([responseTopic](const QJsonValue &response) {
            tagged(qDebug()) << "[RPC] Received : " << responseTopic;
            tagged(qDebug()) << "[RPC] Data     : " << jsonText(response);
        });

    tagged(qDebug()) << "[RPC] Sending : " << requestTopic;
    tagged(qDebug()) << "[RPC] Data    : " << maskSecrets(payload);
    // Straight through the transport: while disconnected it refuses, and the
    // call was already rejected with "Not connected".
    if (client)
        client->publish(requestTopic, payload, 1, false);
    return deferred;
}

} // namespace manager
