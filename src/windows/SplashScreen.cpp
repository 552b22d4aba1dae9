#include "SplashScreen.h"

#include "Log.h"
#include "QmlPage.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QScreen>

SplashScreen::SplashScreen(QWindow *parent)
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

    if (!loadQmlPage(this, QStringLiteral("SplashView.qml")))
        return;

    if (QQuickItem *root = rootObject())
        connect(root, SIGNAL(finished()), this, SLOT(onQmlFinished()));
    logInfo(QStringLiteral("SplashScreen created"));
}

void SplashScreen::onQmlFinished()
{
    logInfo(QStringLiteral("Splash animation finished"));
    hide();
    emit finished();
}
