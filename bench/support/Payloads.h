#pragma once

#include <QByteArray>

// What the services say in the benchmarks, as they say it on a terminal.
namespace bench {

// A ticket as the validation service reports it; even numbers are valid,
// odd ones refused, so that both paths (sound only; sound and the refusal
// page) count.
QByteArray ticket(int i);
// The validation service online, with its readers.
extern const QByteArray OnlineStatus;
// The board with the ignition on or off.
QByteArray boardStatus(bool ignition);

} // namespace bench
