#pragma once

#include <QQuickView>

// The icon fading in and out for two seconds in the middle of the primary screen at start-up.
// finished() is what lets the launcher run.
class SplashScreen : public QQuickView
{
    Q_OBJECT

public:
    explicit SplashScreen(QWindow *parent = nullptr);

signals:
    // Emitted once, after the animation has ended and the window has been hidden.
    void finished();

private slots:
    void onQmlFinished();
};
