#pragma once

#include <QString>

class QObject;

// The first object named `name` in the object tree or the visual tree below
// root (they differ for pages made by loaders and for pop-ups), or null.
QObject *findNamed(QObject *root, const QString &name);
