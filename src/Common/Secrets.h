#pragma once

#include <QByteArray>
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

} // namespace manager
