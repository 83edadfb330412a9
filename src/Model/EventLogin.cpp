#include "EventLogin.h"

#include "User.h"

namespace {

QString describe(const User *user)
{
    // A login without a user record still gets logged, with blank fields.
    const User blank;
    const User &u = user ? *user : blank;
    return QStringLiteral("User ID : %1\nFirst name : %2\nLast name : %3\nDate : %4")
        .arg(QString::number(u.id), u.name, u.surname, QDateTime::currentDateTime().toString(Qt::TextDate));
}

} // namespace

EventLogin::EventLogin(const User *user, QObject *parent)
    : Event(QStringLiteral("General"), QStringLiteral("Maintenance login"), describe(user),
            QDateTime::currentDateTime(), parent)
{
}
