#pragma once

#include <QProcess>
#include <QStringList>

// The fake game (tools/fake-game) as a child process, spoken to over its standard input and
// output: a real X11 window titled like the game, showing what a test asks for.
class FakeGame
{
public:
    FakeGame() = default;
    ~FakeGame();
    FakeGame(const FakeGame &) = delete;
    FakeGame &operator=(const FakeGame &) = delete;

    // Waits until the game reports its window shown.
    bool start(const QStringList &arguments);
    // Sends one command; its answer, "ok" or "error <reason>".
    QString command(const QString &line);
    // The next click report, waiting for it if need be.
    QString nextClick();
    void quit();
    void stop();
    // The X window id of the game's window.
    quintptr window() const { return m_window; }

private:
    QString nextLine(int timeoutMs);

    QProcess m_process;
    quintptr m_window = 0;
    QStringList m_clicks;
};
