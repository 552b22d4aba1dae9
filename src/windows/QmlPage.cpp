#include "QmlPage.h"

#include "Log.h"

#include <QQmlError>
#include <QQuickView>
#include <QUrl>

bool loadQmlPage(QQuickView *view, const QString &fileName)
{
    view->setSource(QUrl(QStringLiteral("qrc:/qml/") + fileName));
    if (view->status() != QQuickView::Error)
        return true;
    logError(QStringLiteral("Failed to load %1").arg(fileName));
    for (const QQmlError &error : view->errors())
        logError(QStringLiteral("QML Error: %1").arg(error.toString()));
    return false;
}
