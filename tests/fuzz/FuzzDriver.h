#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>

class QObject;

// What every fuzz target shares. A target's input comes from libFuzzer as
// raw bytes; nothing here may reject an input, since whatever arrives on the
// wire or in a file must be handled by the code under test.
namespace fuzz {

struct Message
{
    QString topic;
    QByteArray payload;
};

// Creates the application object on the first call and drops every log line
// (the code that builds the lines still runs); a fatal message still aborts.
void init();

// Splits an input into messages separated by NUL bytes. In each message the
// first line is the topic and the rest is the payload; a topic that starts
// with "/" is a suffix under base, any other topic is taken as it is.
QList<Message> messages(const uint8_t *data, size_t size, const QString &base);

// The path of name in a private scratch folder.
QString scratchPath(const QString &name);

// Writes the input to a new file in the scratch folder, named after name, and
// returns its path; the file of the previous call is removed. A new name each
// time, because QSettings keeps the files it parsed and could otherwise serve
// an earlier input.
QString writeFile(const QString &name, const uint8_t *data, size_t size);

// The input as one JSON object; anything else reads as an empty object.
QJsonObject jsonObject(const uint8_t *data, size_t size);

// Reads every property of object the way a QML binding would, and those of
// the objects it exposes through properties.
void readProperties(const QObject *object);

// Runs what the code under test posted: queued calls and deferred deletions.
void settle();

} // namespace fuzz
