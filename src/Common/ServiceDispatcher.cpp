#include "ServiceDispatcher.h"

#include <QDebug>
#include <QJsonDocument>

namespace manager {

QString ServiceDispatcher::parserErrorText(const QString &, const QByteArray &, const QJsonParseError &error)
{
    return QStringLiteral("Failed to parse JSON message: ") + error.errorString();
}

QString ServiceDispatcher::rawPayloadText(const QString &, const QByteArray &payload, const QJsonParseError &)
{
    return QStringLiteral("Failed to parse JSON message: ") + QString::fromUtf8(payload);
}

ServiceDispatcher::ServiceDispatcher(const QString &tag, const QString &base, EmptyPayload empty,
                                     const ParseErrorText &parseErrorText)
    : m_tag(tag)
    , m_base(base)
    , m_empty(empty)
    , m_parseErrorText(parseErrorText)
    , m_baseUtf8(base.toUtf8())
{
}

void ServiceDispatcher::addHandler(const QString &suffix, const Handler &handler)
{
    m_handlers.append(qMakePair(m_base + suffix, handler));
}

void ServiceDispatcher::addAbsoluteHandler(const QString &topic, const Handler &handler)
{
    m_handlers.append(qMakePair(topic, handler));
    acceptTopic(topic);
}

void ServiceDispatcher::acceptTopic(const QString &topic)
{
    m_absoluteTopics.append(topic);
    m_absoluteTopicsUtf8.append(topic.toUtf8());
}

// The same test as the one at the top of dispatch(), on the UTF-8 bytes.
bool ServiceDispatcher::accepts(const QByteArray &topic) const
{
    return topic.contains(m_baseUtf8) || m_absoluteTopicsUtf8.contains(topic);
}

bool ServiceDispatcher::dispatch(const QByteArray &payload, const QString &topic) const
{
    if (!topic.contains(m_base) && !m_absoluteTopics.contains(topic))
        return false;

    const bool readAsEmptyObject = payload.isEmpty() && m_empty == EmptyIsObject;
    QJsonParseError error;
    const QJsonDocument document =
        readAsEmptyObject ? QJsonDocument(QJsonObject()) : QJsonDocument::fromJson(payload, &error);
    if (!readAsEmptyObject && error.error != QJsonParseError::NoError) {
        qCritical().noquote().nospace() << m_tag << m_parseErrorText(topic, payload, error);
        return false;
    }

    for (const auto &entry : m_handlers) {
        if (entry.first == topic) {
            entry.second(document.object(), topic);
            return true;
        }
    }
    return false;
}

} // namespace manager
