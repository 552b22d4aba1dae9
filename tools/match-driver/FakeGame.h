#pragma once

#include <QProcess>
#include <QStringList>

// The fake game (tools/fake-game) as a child process, spoken to over its standard input and
// output: a real X11 window titled like the game, showing what it is asked to and reacting to
// clicks on its synthetic lobby screens.
class FakeGame
{
public:
    FakeGame() = default;
    ~FakeGame();
    FakeGame(const FakeGame &) = delete;
    FakeGame &operator=(const FakeGame &) = delete;

    // Waits until the game reports its window shown.
    bool start(const QStringList &arguments);
    bool isRunning() const;
    // Sends one command; its answer, "ok" or "error <reason>".
    QString command(const QString &line);
    // What the game reports as it happens, in order: "click <x> <y> <button>" for every press,
    // followed by "accepted" or "slot <index>" when the press did something. Waits up to
    // `timeoutMs` for the first report that starts with `prefix`, dropping the ones before it;
    // empty when none came.
    QString waitForReport(const QString &prefix, int timeoutMs);
    // The next click report, waiting for it if need be.
    QString nextClick();
    void quit();
    void stop();
    // The X window id of the game's window.
    quintptr window() const { return m_window; }

private:
    QString nextLine(int timeoutMs);
    static bool isReport(const QString &line);

    QProcess m_process;
    quintptr m_window = 0;
    QStringList m_reports;
};
