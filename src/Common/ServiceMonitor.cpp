#include "ServiceMonitor.h"

#include <QDebug>
#include <QTimer>

namespace manager {

bool applyMonitor(QTimer &timer, const QString &tag, int msec)
{
    // A negative interval cannot run a timer; it stops monitoring too.
    if (msec <= 0) {
        qInfo().noquote().nospace() << tag << "Monitor stopped";
        timer.stop();
        return false;
    }
    qInfo().noquote().nospace() << tag << "Monitor started : " << msec << " msec(s)";
    timer.setInterval(msec);
    timer.setSingleShot(false);
    timer.start();
    return true;
}

} // namespace manager
