#pragma once

#include "Event.h"

// Event-log entry for the end of a maintenance session.
class EventLogout : public Event
{
    Q_OBJECT

public:
    explicit EventLogout(QObject *parent = nullptr);
};
