#pragma once

#include "Event.h"

class User;

// Event-log entry for a maintenance login.
class EventLogin : public Event
{
    Q_OBJECT

public:
    explicit EventLogin(const User *user, QObject *parent = nullptr);
};
