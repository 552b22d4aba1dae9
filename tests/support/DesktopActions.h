#pragma once

#include "ChildProcess.h"

#include <QProcess>
#include <QRect>
#include <QString>

// Acting on the virtual desktop as a user would, through xdotool, and ending child processes.

// Runs a shell command line; returns its exit code.
int runShell(const QString &script);

// Moves the pointer to the tray icon of process `pid` and runs the xdotool `action` there (for
// example "click 1"). Waits up to five seconds for the tray host to embed the icon.
bool actOnTrayIcon(qint64 pid, const QString &action);

// The virtual desktop split into two RandR monitors, by default side by side at 960 x 1080 each,
// for as long as this lives; the toolkit shows them as two screens (the left one the primary).
class TwoMonitors
{
public:
    explicit TwoMonitors(const QRect &left = QRect(0, 0, 960, 1080),
                         const QRect &right = QRect(960, 0, 960, 1080));
    ~TwoMonitors();
    TwoMonitors(const TwoMonitors &) = delete;
    TwoMonitors &operator=(const TwoMonitors &) = delete;

    bool isSet() const { return m_ok; }

private:
    bool m_ok = false;
};
