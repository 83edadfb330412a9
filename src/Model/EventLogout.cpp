#include "EventLogout.h"

EventLogout::EventLogout(QObject *parent)
    : Event(QStringLiteral("General"), QStringLiteral("Maintenance logout"),
            QStringLiteral("Date : %4").arg(QDateTime::currentDateTime().toString(Qt::TextDate)),
            QDateTime::currentDateTime(), parent)
{
}
