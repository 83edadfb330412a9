#include "FuzzDriver.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QMetaProperty>
#include <QTemporaryDir>
#include <QVariant>

#include <cstdlib>

namespace fuzz {

namespace {

void dropMessage(QtMsgType type, const QMessageLogContext &, const QString &)
{
    if (type == QtFatalMsg)
        std::abort();
}

QTemporaryDir &scratchDir()
{
    static QTemporaryDir dir;
    return dir;
}

void readProperties(const QObject *object, int depth)
{
    if (!object || depth > 2)
        return;
    const QMetaObject *meta = object->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QVariant value = meta->property(i).read(object);
        if (value.userType() == qMetaTypeId<QList<QObject *>>()) {
            const QList<QObject *> list = value.value<QList<QObject *>>();
            for (const QObject *item : list)
                readProperties(item, depth + 1);
        } else if (value.canConvert<QObject *>()) {
            readProperties(value.value<QObject *>(), depth + 1);
        } else {
            (void)value.toString();
        }
    }
}

} // namespace

void init()
{
    static int argc = 1;
    static char name[] = "ltxg-fuzz";
    static char *argv[] = { name, nullptr };
    if (QCoreApplication::instance())
        return;
    qInstallMessageHandler(dropMessage);
    new QCoreApplication(argc, argv);
    if (!scratchDir().isValid())
        qFatal("no scratch folder");
}

QList<Message> messages(const uint8_t *data, size_t size, const QString &base)
{
    QList<Message> result;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    for (const QByteArray &part : input.split('\0')) {
        const int newline = part.indexOf('\n');
        const QString topic = QString::fromUtf8(newline < 0 ? part : part.left(newline));
        Message message;
        message.topic = topic.startsWith(QLatin1Char('/')) ? base + topic : topic;
        message.payload = newline < 0 ? QByteArray() : part.mid(newline + 1);
        result.append(message);
    }
    return result;
}

QString scratchPath(const QString &name)
{
    return scratchDir().filePath(name);
}

QString writeFile(const QString &name, const uint8_t *data, size_t size)
{
    static QString previous;
    static quint64 count = 0;
    if (!previous.isEmpty())
        QFile::remove(previous);
    previous = scratchPath(QString::number(++count) + QLatin1Char('-') + name);
    const QString path = previous;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the scratch file");
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    return path;
}

QJsonObject jsonObject(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    return QJsonDocument::fromJson(input).object();
}

void readProperties(const QObject *object)
{
    readProperties(object, 0);
}

void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace fuzz
