#pragma once

#include <QQuickView>

// The icon fading in and out for two seconds in the middle of the primary screen at start-up.
// finished() is what lets the launcher run.
class SplashScreen : public QQuickView
{
    Q_OBJECT

public:
    // `pageName` is the page under qrc:/qml/; another one than the splash's own is for tests.
    explicit SplashScreen(QWindow *parent = nullptr,
                          const QString &pageName = QStringLiteral("SplashView.qml"));

signals:
    // Emitted once, after the animation has ended and the window has been hidden; at once (from
    // the event loop) when the page could not be loaded, so the launcher is never kept waiting.
    void finished();

private slots:
    void onQmlFinished();
};
