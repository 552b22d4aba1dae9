#include "DesktopActions.h"

#include <QGuiApplication>
#include <QTest>

int runShell(const QString &script)
{
    return QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), script});
}

bool actOnTrayIcon(qint64 pid, const QString &action)
{
    // Qt reports an embedded tray icon's geometry relative to the tray host, so ask the X server
    // where the process's small icon window is.
    const QString script = QStringLiteral(
        "for w in $(xdotool search --onlyvisible --pid %1); do"
        " eval $(xdotool getwindowgeometry --shell $w);"
        " if [ $WIDTH -le 32 ] && [ $HEIGHT -le 32 ]; then"
        " xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) %2; exit 0; fi;"
        " done; exit 1").arg(pid).arg(action);
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (runShell(script) == 0)
            return true;
        QTest::qWait(100);
    }
    return false;
}

namespace {

// xrandr's monitor geometry, w/mm x h/mm + x + y, at 96 dots per inch.
QString monitorGeometry(const QRect &area)
{
    return QStringLiteral("%1/%2x%3/%4+%5+%6")
        .arg(area.width())
        .arg(qRound(area.width() * 25.4 / 96))
        .arg(area.height())
        .arg(qRound(area.height() * 25.4 / 96))
        .arg(area.x())
        .arg(area.y());
}

} // namespace

TwoMonitors::TwoMonitors(const QRect &left, const QRect &right)
{
    // The left monitor takes over the real output; the right one has none of its own.
    m_ok = runShell(QStringLiteral("output=$(xrandr | awk '/ connected/ {print $1; exit}');"
                                   " (xrandr --setmonitor corvanta-left %1 \"$output\""
                                   " && xrandr --setmonitor corvanta-right %2 none) >/dev/null")
                        .arg(monitorGeometry(left), monitorGeometry(right)))
        == 0;
}

TwoMonitors::~TwoMonitors()
{
    runShell(QStringLiteral("xrandr --delmonitor corvanta-left; xrandr --delmonitor corvanta-right"));
    // The next test starts with the toolkit back on one screen.
    if (!QTest::qWaitFor([] { return QGuiApplication::screens().size() == 1; }, 10000))
        qWarning("the toolkit still shows more than one screen");
}
