#include "SplashScreen.h"

#include "Log.h"
#include "QmlPage.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QScreen>

SplashScreen::SplashScreen(QWindow *parent, const QString &pageName)
    : QQuickView(parent)
{
    setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setColor(Qt::transparent);
    setResizeMode(QQuickView::SizeRootObjectToView);
    resize(300, 300);

    // The screen's own origin is deliberately not added: the splash is placed by the primary
    // screen's size alone.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect geometry = screen->geometry();
        setPosition((geometry.width() - width()) / 2, (geometry.height() - height()) / 2);
    }

    QQuickItem *root = loadQmlPage(this, pageName) ? rootObject() : nullptr;
    if (!root) {
        // Queued: whoever made the splash connects to finished() after the constructor.
        QMetaObject::invokeMethod(this, &SplashScreen::onQmlFinished, Qt::QueuedConnection);
        return;
    }
    connect(root, SIGNAL(finished()), this, SLOT(onQmlFinished()));
    logInfo(QStringLiteral("SplashScreen created"));
}

void SplashScreen::onQmlFinished()
{
    logInfo(QStringLiteral("Splash animation finished"));
    hide();
    emit finished();
}
