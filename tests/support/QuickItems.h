#pragma once

#include <QString>
#include <QStringList>

class QObject;
class QQuickItem;

// The first object named `name` in the object tree or the visual tree below
// root (they differ for pages made by loaders and for pop-ups), or null.
QObject *findNamed(QObject *root, const QString &name);

// Taps the item named `name` below root at `at` of its width, as a finger
// would: waits until it shows, scrolls the view it sits in to it, waits until
// it stops moving (a page or pop-up sliding in), then clicks its window
// there. False when it does not show or is smaller than a finger.
bool tapNamed(QObject *root, const QString &name, qreal at = 0.5);

// The names of the visible touch controls below root smaller than a finger.
QStringList smallControls(QQuickItem *root);
