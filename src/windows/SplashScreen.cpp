#include "SplashScreen.h"

#include "Log.h"

#include <QGuiApplication>
#include <QQmlError>
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

    setSource(QUrl(QStringLiteral("qrc:/qml/SplashView.qml")));

    if (status() == QQuickView::Error) {
        logError(QStringLiteral("Failed to load SplashView.qml"));
        for (const QQmlError &error : errors())
            logError(QStringLiteral("QML Error: %1").arg(error.toString()));
        return;
    }

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
