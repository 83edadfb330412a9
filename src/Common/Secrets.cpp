#include "Secrets.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace manager {

namespace {

const QString Mask = QStringLiteral("********");

QJsonValue masked(const QJsonValue &value)
{
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            // An empty secret is shown as such: that one is not set is worth seeing.
            const bool hidden = isSecretKey(it.key()) && it.value() != QJsonValue(QString());
            it.value() = hidden ? QJsonValue(Mask) : masked(it.value());
        }
        return object;
    }
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        for (auto it = array.begin(); it != array.end(); ++it)
            *it = masked(*it);
        return array;
    }
    if (value.isString() && value.toString().contains(QLatin1String("://"))) {
        const QUrl url(value.toString());
        if (url.isValid() && !url.password().isEmpty())
            return url.toString(QUrl::RemovePassword);
    }
    return value;
}

} // namespace

bool isSecretKey(const QString &key)
{
    const QString name = key.section(QLatin1Char('/'), -1);
    return name.contains(QLatin1String("password"), Qt::CaseInsensitive)
        || name.endsWith(QLatin1String("pin"), Qt::CaseInsensitive);
}

QByteArray maskSecrets(const QByteArray &payload)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError)
        return payload;
    const QJsonValue original = document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    const QJsonValue result = masked(original);
    // Unchanged payloads keep their own layout in the log.
    if (result == original)
        return payload;
    return result.isArray() ? QJsonDocument(result.toArray()).toJson(QJsonDocument::Compact)
                            : QJsonDocument(result.toObject()).toJson(QJsonDocument::Compact);
}

QJsonObject maskSecrets(const QJsonObject &object)
{
    return masked(object).toObject();
}

QJsonObject withoutMaskedSecrets(const QJsonObject &object)
{
    QJsonObject result;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (isSecretKey(it.key()) && it.value() == QJsonValue(Mask))
            continue;
        result.insert(it.key(), it.value().isObject() ? withoutMaskedSecrets(it.value().toObject()) : it.value());
    }
    return result;
}

} // namespace manager
