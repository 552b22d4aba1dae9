#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

class GameFlow;
class GameWindow;

// Carries out the fake game's commands one at a time, in the order they came, and answers each
// with one line, "ok" or "error <reason>", once its effect can be seen: a new picture is on the
// screen, the window manager has placed, minimised or shown the window.
class CommandRunner : public QObject
{
    Q_OBJECT

public:
    CommandRunner(GameWindow *window, GameFlow *flow, QObject *parent = nullptr);

    // "WxH+X+Y": the client area's size and its top-left corner on the screen.
    static bool parseGeometry(const QString &text, QRect &geometry);

    // Queues one command line; lines that arrive while one is being carried out wait their turn.
    void submit(const QString &line);

    // Runs the event loop until `condition` holds or `timeoutMs` has passed.
    static bool waitUntil(const std::function<bool()> &condition, int timeoutMs);

signals:
    void quitRequested();

private:
    void runQueued();
    QString run(const QString &line); // empty for "ok", else the reason for "error"

    QString place(const QRect &geometry);
    QString makeFullScreen();
    QString minimize();
    QString hideWindow();
    QString showWindow();
    QString raiseWindow();

    GameWindow *m_window;
    GameFlow *m_flow;
    QStringList m_queue;
    bool m_running = false;
    bool m_restoreFullScreen = false;
};
