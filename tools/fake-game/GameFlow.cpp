#include "GameFlow.h"

#include "GameWindow.h"

#include <QImage>
#include <QRegularExpression>

namespace {

const QColor matchColour(38, 58, 34); // the map, as far as the lobby detectors are concerned

bool fits(const QSize &size)
{
    return size.width() >= SyntheticScreen::MinWidth && size.height() >= SyntheticScreen::MinHeight
        && size.width() <= SyntheticScreen::MaxWidth && size.height() <= SyntheticScreen::MaxHeight;
}

QRect toQRect(const cv::Rect &rect)
{
    return QRect(rect.x, rect.y, rect.width, rect.height);
}

} // namespace

GameFlow::GameFlow(GameWindow *window, double interfaceScale)
    : m_window(window)
    , m_interfaceScale(interfaceScale)
{
}

SyntheticScreen GameFlow::synthetic() const
{
    SyntheticScreen screen(cv::Size(m_window->width(), m_window->height()));
    screen.setScale(m_interfaceScale);
    return screen;
}

bool GameFlow::parseSlots(const QString &digits, SyntheticScreen::SlotMask &mask)
{
    static const QRegularExpression pattern(QStringLiteral("^[01]{10}$"));
    if (!pattern.match(digits).hasMatch())
        return false;
    for (int i = 0; i < SyntheticScreen::SlotCount; ++i)
        mask[size_t(i)] = digits.at(i) == QLatin1Char('1');
    return true;
}

QString GameFlow::showScreen(const QString &argument)
{
    const QStringList parts = argument.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString kind = parts.value(0);
    const Screen screen = kind == QLatin1String("background") ? Screen::Background
        : kind == QLatin1String("invitation")                 ? Screen::Invitation
        : kind == QLatin1String("lobby")                      ? Screen::Lobby
                                                              : Screen::Other;
    if (screen == Screen::Other || parts.size() > 2)
        return QStringLiteral("screen needs background, invitation or lobby [ten 0/1 digits]");
    SyntheticScreen::SlotMask taken{};
    if (!parseSlots(parts.value(1, QStringLiteral("0000000000")), taken))
        return QStringLiteral("the slots are ten digits 0 or 1, left column first");
    if (!fits(m_window->size()))
        return QStringLiteral("synthetic screens need a window from 1280x720 to 3840x2160");
    m_taken = taken;
    m_playerSlot = -1;
    return render(screen);
}

QString GameFlow::occupy(const QString &digits)
{
    SyntheticScreen::SlotMask more{};
    if (!parseSlots(digits, more))
        return QStringLiteral("occupy needs ten digits 0 or 1, left column first");
    for (int i = 0; i < SyntheticScreen::SlotCount; ++i)
        m_taken[size_t(i)] = m_taken[size_t(i)] || more[size_t(i)];
    return m_screen == Screen::Lobby ? render(Screen::Lobby) : QString();
}

QString GameFlow::startMatch()
{
    return render(Screen::Match);
}

void GameFlow::forget()
{
    m_screen = Screen::Other;
}

QString GameFlow::render(Screen screen)
{
    if (!fits(m_window->size()))
        return QStringLiteral("synthetic screens need a window from 1280x720 to 3840x2160");
    m_screen = screen;
    if (screen == Screen::Match) {
        m_window->setFill(matchColour);
        m_window->showOnScreenNow();
        return QString();
    }
    const SyntheticScreen drawn = synthetic();
    const cv::Mat frame = screen == Screen::Background ? drawn.renderBackground()
        : screen == Screen::Invitation                 ? drawn.renderInvitation()
                                                       : drawn.renderLobby(m_taken);
    m_window->setPicture(
        QImage(frame.data, frame.cols, frame.rows, int(frame.step), QImage::Format_BGR888).copy());
    m_window->showOnScreenNow();
    return QString();
}

QString GameFlow::click(const QPoint &position, int button)
{
    if (button != 1 || !fits(m_window->size()))
        return QString();
    const SyntheticScreen drawn = synthetic();
    if (m_screen == Screen::Invitation) {
        if (!toQRect(drawn.acceptRect()).contains(position))
            return QString();
        render(Screen::Lobby);
        return QStringLiteral("accepted");
    }
    if (m_screen != Screen::Lobby)
        return QString();
    const SyntheticScreen::SlotRects rects = drawn.slotRects();
    for (int i = 0; i < SyntheticScreen::SlotCount; ++i) {
        if (!toQRect(rects[size_t(i)]).contains(position) || m_taken[size_t(i)])
            continue;
        if (m_playerSlot >= 0)
            m_taken[size_t(m_playerSlot)] = false;
        m_taken[size_t(i)] = true;
        m_playerSlot = i;
        render(Screen::Lobby);
        return QStringLiteral("slot %1").arg(i);
    }
    return QString();
}
