#pragma once

#include <QString>

class QObject;

// The first object named `name` in the object tree or the visual tree below
// root (they differ for pages made by loaders and for pop-ups), or null.
QObject *findNamed(QObject *root, const QString &name);

// Taps the item named `name` below root at `at` of its width, as a finger
// would, once it shows: scrolls its view to it and waits until it stops
// moving (a page sliding in). False if it does not show or is too small.
bool tapNamed(QObject *root, const QString &name, qreal at = 0.5);
