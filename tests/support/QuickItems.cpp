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
            if (child->parent() == root)
                continue;
            if (QObject *found = findNamed(child, name))
                return found;
        }
    }
    return nullptr;
}

bool tapNamed(QObject *root, const QString &name, qreal at)
{
    QQuickItem *target = nullptr;
    if (!QTest::qWaitFor([&] {
            target = qobject_cast<QQuickItem *>(findNamed(root, name));
            return target && target->isVisible();
        }))
        return false;
    QQuickWindow *window = target->window();
    if (!window || target->width() < 48 || target->height() < 48)
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
        const QPointF now = target->mapToScene(spot);
        still = now == point ? still + 1 : 0;
        point = now;
    }
    if (!target->isVisible() || !QRectF(0, 0, window->width(), window->height()).contains(point))
        return false;
    QTest::mouseClick(window, Qt::LeftButton, {}, point.toPoint());
    return true;
}

QStringList smallControls(QQuickItem *root)
{
    QStringList small;
    for (const char *type :
         {"QQuickAbstractButton", "QQuickSlider", "QQuickSpinBox", "QQuickComboBox", "QQuickTextField"}) {
        if (root->inherits(type) && root->isVisible() && (root->width() < 48 || root->height() < 48))
            small << root->objectName();
    }
    for (QQuickItem *child : root->childItems())
        small << smallControls(child);
    return small;
}
