#include "CommandRunner.h"

#include "ConsoleChannel.h"
#include "GameFlow.h"
#include "GameWindow.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QRegularExpression>
#include <QScreen>
#include <QWindow>

#include <utility>

namespace {

// The window manager answers within milliseconds on the virtual desktop; this is the limit.
constexpr int stateTimeoutMs = 5000;

bool exposed(const GameWindow *window)
{
    return window->windowHandle() && window->windowHandle()->isExposed();
}

} // namespace

CommandRunner::CommandRunner(GameWindow *window, GameFlow *flow, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_flow(flow)
{
}

bool CommandRunner::parseGeometry(const QString &text, QRect &geometry)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)x(\\d+)([+-]\\d+)([+-]\\d+)$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return false;
    const int width = match.captured(1).toInt();
    const int height = match.captured(2).toInt();
    if (width <= 0 || height <= 0)
        return false;
    geometry = QRect(match.captured(3).toInt(), match.captured(4).toInt(), width, height);
    return true;
}

void CommandRunner::submit(const QString &line)
{
    m_queue.append(line);
    if (!m_running)
        runQueued();
}

bool CommandRunner::waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void CommandRunner::runQueued()
{
    // Waiting for the window manager runs the event loop, which may bring the next line: it
    // joins the queue instead of running inside this one.
    m_running = true;
    while (!m_queue.isEmpty()) {
        const QString line = m_queue.takeFirst();
        if (line.trimmed().isEmpty())
            continue;
        const QString error = run(line);
        ConsoleChannel::writeLine(error.isEmpty() ? QStringLiteral("ok")
                                                  : QStringLiteral("error ") + error);
        if (line.trimmed() == QLatin1String("quit")) {
            m_queue.clear();
            emit quitRequested();
        }
    }
    m_running = false;
}

QString CommandRunner::run(const QString &line)
{
    const QString trimmed = line.trimmed();
    const qsizetype space = trimmed.indexOf(QLatin1Char(' '));
    const QString command = space < 0 ? trimmed : trimmed.left(space);
    const QString argument = space < 0 ? QString() : trimmed.mid(space + 1).trimmed();

    if (command == QLatin1String("show")) {
        if (argument.isEmpty())
            return QStringLiteral("show needs a picture path");
        const QImage picture(argument);
        if (picture.isNull())
            return QStringLiteral("cannot read picture %1").arg(argument);
        m_flow->forget();
        m_window->setPicture(picture);
        m_window->showOnScreenNow();
        return QString();
    }
    if (command == QLatin1String("screen"))
        return m_flow->showScreen(argument);
    if (command == QLatin1String("occupy"))
        return m_flow->occupy(argument);
    if (command == QLatin1String("fill")) {
        const QStringList parts = argument.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        int channels[3] = {};
        bool valid = parts.size() == 3;
        for (int i = 0; valid && i < 3; ++i) {
            channels[i] = parts[i].toInt(&valid);
            valid = valid && channels[i] >= 0 && channels[i] <= 255;
        }
        if (!valid)
            return QStringLiteral("fill needs three values 0 to 255: fill <r> <g> <b>");
        m_flow->forget();
        m_window->setFill(QColor(channels[0], channels[1], channels[2]));
        m_window->showOnScreenNow();
        return QString();
    }
    if (command == QLatin1String("title")) {
        // Everything after the command word, inner spaces kept.
        m_window->setWindowTitle(line.mid(line.indexOf(QLatin1String("title")) + 6));
        m_window->showOnScreenNow();
        return QString();
    }
    if (command == QLatin1String("geometry")) {
        QRect geometry;
        if (!parseGeometry(argument, geometry))
            return QStringLiteral("geometry needs WxH+X+Y");
        return place(geometry);
    }
    if (!argument.isEmpty())
        return QStringLiteral("%1 takes no argument").arg(command);
    if (command == QLatin1String("start"))
        return m_flow->startMatch();
    if (command == QLatin1String("fullscreen"))
        return makeFullScreen();
    if (command == QLatin1String("minimize"))
        return minimize();
    if (command == QLatin1String("hide"))
        return hideWindow();
    if (command == QLatin1String("show-window"))
        return showWindow();
    if (command == QLatin1String("raise"))
        return raiseWindow();
    if (command == QLatin1String("quit"))
        return QString();
    return QStringLiteral("unknown command %1").arg(command);
}

QString CommandRunner::place(const QRect &geometry)
{
    if (m_window->windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized | Qt::WindowMinimized))
        m_window->showNormal();
    m_window->setGeometry(geometry);
    if (!m_window->isVisible())
        m_window->show();
    if (!waitUntil([&] { return m_window->geometry() == geometry && exposed(m_window); },
                   stateTimeoutMs))
        return QStringLiteral("timeout: the window manager did not place the window");
    m_window->showOnScreenNow();
    return QString();
}

QString CommandRunner::makeFullScreen()
{
    m_window->showFullScreen();
    const auto covers = [&] {
        const QScreen *screen = m_window->screen();
        return (m_window->windowState() & Qt::WindowFullScreen) && screen
            && m_window->geometry() == screen->geometry() && exposed(m_window);
    };
    if (!waitUntil(covers, stateTimeoutMs))
        return QStringLiteral("timeout: the window manager did not make the window full-screen");
    m_window->showOnScreenNow();
    return QString();
}

QString CommandRunner::minimize()
{
    m_restoreFullScreen = m_window->windowState() & Qt::WindowFullScreen;
    m_window->showMinimized();
    if (!waitUntil([&] { return (m_window->windowState() & Qt::WindowMinimized) && !exposed(m_window); },
                   stateTimeoutMs))
        return QStringLiteral("timeout: the window manager did not minimise the window");
    return QString();
}

QString CommandRunner::hideWindow()
{
    m_window->hide();
    if (!waitUntil([&] { return !exposed(m_window); }, stateTimeoutMs))
        return QStringLiteral("timeout: the window is still shown");
    return QString();
}

QString CommandRunner::showWindow()
{
    // A game that was full-screen comes back full-screen; the window manager would restore the
    // window it remembers instead.
    const bool fullScreen = std::exchange(m_restoreFullScreen, false);
    m_window->setWindowState(fullScreen ? Qt::WindowFullScreen
                                        : m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    if (!waitUntil([&] { return exposed(m_window) && !(m_window->windowState() & Qt::WindowMinimized); },
                   stateTimeoutMs))
        return QStringLiteral("timeout: the window manager did not show the window");
    if (fullScreen) {
        // The toolkit reports the window placed before the window manager has moved it.
        const QPoint corner = m_window->screen()->geometry().topLeft();
        if (!waitUntil([&] { return m_window->serverPosition() == corner; }, stateTimeoutMs))
            return QStringLiteral("timeout: the window manager did not make the window full-screen");
    }
    m_window->showOnScreenNow();
    return QString();
}

QString CommandRunner::raiseWindow()
{
    m_window->raise();
    m_window->activateWindow();
    if (!waitUntil([&] { return m_window->isActiveWindow(); }, stateTimeoutMs))
        return QStringLiteral("timeout: the window did not become active");
    m_window->showOnScreenNow();
    return QString();
}
