#pragma once

#include <QString>

class QTimer;

namespace manager {

// The monitor timer the service clients share: screens showing live values
// call monitor(n) on opening and monitor(0) on closing. An msec of 0 (or below) logs
// "Monitor stopped" and stops the timer; any other value logs
// "Monitor started : <msec> msec(s)" and restarts the timer repeating at msec.
// Returns true when monitoring is on, so that the caller refreshes at once.
// tag is the client's log tag ("[Board] ").
bool applyMonitor(QTimer &timer, const QString &tag, int msec);

} // namespace manager
