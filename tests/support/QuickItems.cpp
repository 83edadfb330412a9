#include "QuickItems.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

QObject *findNamed(QObject *root, const QString &name)
{
    if (!root)
        return nullptr;
    if (root->objectName() == name)
        return root;
    for (QObject *child : root->children()) {
        if (QObject *found = findNamed(child, name))
            return found;
    }
    if (auto *item = qobject_cast<QQuickItem *>(root)) {
        for (QQuickItem *child : item->childItems()) {
            if (QObject *found = child->parent() == root ? nullptr : findNamed(child, name))
                return found;
        }
    }
    return nullptr;
}

bool tapNamed(QObject *root, const QString &name, qreal at)
{
    QQuickItem *target = nullptr;
    const auto shown = [&] {
        return (target = qobject_cast<QQuickItem *>(findNamed(root, name))) && target->isVisible();
    };
    if (!QTest::qWaitFor(shown) || target->width() < 48 || target->height() < 48)
        return false;
    for (QQuickItem *view = target->parentItem(); view; view = view->parentItem()) {
        if (view->inherits("QQuickFlickable")) {
            const qreal y = target->mapToItem(view->property("contentItem").value<QQuickItem *>(), {}).y();
            const qreal room = view->property("contentHeight").toReal() - view->height();
            view->setProperty("contentY", qBound(0.0, y - (view->height() - target->height()) / 2, qMax(0.0, room)));
            break;
        }
    }
    const QPointF spot(target->width() * at, target->height() / 2);
    QPointF point = target->mapToScene(spot);
    for (int still = 0, tries = 0; still < 3 && tries < 250; ++tries) {
        QTest::qWait(20);
        still = target->mapToScene(spot) == point ? still + 1 : 0;
        point = target->mapToScene(spot);
    }
    QQuickWindow *window = target->window();
    if (!target->isVisible() || !window || !QRectF(0, 0, window->width(), window->height()).contains(point))
        return false;
    QTest::mouseClick(window, Qt::LeftButton, {}, point.toPoint());
    return true;
}
