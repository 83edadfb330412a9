#include "User.h"

User::User(int id, const QString &name, const QString &surname, const QString &pin)
    : id(id)
    , name(name)
    , surname(surname)
    , pin(pin)
{
}
