#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace manager {

// What the log may show of settings and payloads. The log goes to the system
// log, where anyone with access to the device could read the broker password,
// the maintenance PIN or the OBU password.

// True for a key (or the name part of a group/name key) that holds a password
// or a PIN.
bool isSecretKey(const QString &key);

// The payload as a log line may show it: in JSON, the values of secret keys
// and the passwords inside URLs are replaced. Anything else comes back as it is.
QByteArray maskSecrets(const QByteArray &payload);

// The same for settings that go out on the broker, where every client (and
// whatever the broker is bridged to) reads them.
QJsonObject maskSecrets(const QJsonObject &object);

// Settings from a peer without the secrets it carries only as the mask: a
// peer that read, edited and wrote back the settings changes no secret.
QJsonObject withoutMaskedSecrets(const QJsonObject &object);

} // namespace manager
