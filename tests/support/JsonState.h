#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QMetaProperty>
#include <QObject>

// Expected values written as JSON, compared on what a row names:
//     QCOMPARE(jsonText(jsonSubset(actual, expected)), jsonText(expected));

// The value as compact JSON text, for a readable QCOMPARE.
inline QByteArray jsonText(const QJsonValue &value)
{
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
}

// actual with, in every object, only the keys that expected has there.
inline QJsonValue jsonSubset(const QJsonValue &actual, const QJsonValue &expected)
{
    if (!actual.isObject() || !expected.isObject())
        return actual;
    QJsonObject result;
    const QJsonObject have = actual.toObject(), want = expected.toObject();
    for (auto it = want.begin(); it != want.end(); ++it) {
        if (have.contains(it.key()))
            result.insert(it.key(), jsonSubset(have.value(it.key()), it.value()));
    }
    return result;
}

// An object's own properties (not those of its base classes), the objects
// they point to included.
inline QJsonObject jsonProperties(const QObject *object)
{
    QJsonObject result;
    const QMetaObject *meta = object->metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QVariant value = meta->property(i).read(object);
        const QObject *child = value.canConvert<QObject *>() ? value.value<QObject *>() : nullptr;
        result.insert(meta->property(i).name(), child ? jsonProperties(child) : QJsonValue::fromVariant(value));
    }
    return result;
}
