#pragma once

#include <QQuickItem>
#include <QQuickView>
#include <QTest>

// A QML page's items by their objectName, and real mouse clicks on them.

inline QQuickItem *quickItem(const QQuickView &view, const QString &name)
{
    return view.rootObject() ? view.rootObject()->findChild<QQuickItem *>(name) : nullptr;
}

// In the window's coordinates.
inline QPoint centreOf(const QQuickItem &item)
{
    return item.mapToScene(QPointF(item.width() / 2, item.height() / 2)).toPoint();
}

// False when the page has no such item.
inline bool clickItem(QQuickView &view, const QString &name)
{
    const QQuickItem *item = quickItem(view, name);
    if (!item)
        return false;
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, centreOf(*item));
    return true;
}
