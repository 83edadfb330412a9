#pragma once

#include <QString>

// A maintenance user; the PIN is compared as an exact string.
class User
{
public:
    User() = default;
    User(int id, const QString &name, const QString &surname, const QString &pin);

    int id = 0;
    QString name;
    QString surname;
    QString pin;
};
