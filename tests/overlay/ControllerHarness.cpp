#include "ControllerHarness.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QThreadPool>

#include <cstring>

static constexpr Desktop::WindowId gameWindow = 1;

std::vector<Desktop::TopLevelWindow> GameDesktop::topLevelWindows()
{
    return open ? std::vector<TopLevelWindow>{{gameWindow, "Dota 2", true}}
                : std::vector<TopLevelWindow>();
}

Desktop::WindowState GameDesktop::windowState(WindowId window)
{
    return open && window == gameWindow ? WindowState{"Dota 2", visible} : WindowState();
}

Desktop::WindowId GameDesktop::foregroundWindow()
{
    return open && focused ? gameWindow : NoWindow;
}

Desktop::Rect GameDesktop::clientArea() const
{
    return Rect{origin.x, origin.y, origin.x + frame.cols, origin.y + frame.rows};
}

std::optional<Desktop::Rect> GameDesktop::clientRect(WindowId window)
{
    return open && window == gameWindow ? std::optional<Rect>(clientArea()) : std::nullopt;
}

Desktop::Monitor GameDesktop::monitorOf(WindowId)
{
    return Monitor{MonitorStatus::Found, Rect{0, 0, 1920, 1080}};
}

Desktop::CaptureStatus GameDesktop::grabScreen(const Rect &area, std::uint8_t *target,
                                               std::size_t stride)
{
    ++grabs;
    if (area != clientArea())
        return CaptureStatus::Failed;
    for (int y = 0; y < frame.rows; ++y)
        std::memcpy(target + std::size_t(y) * stride, frame.ptr(y), std::size_t(frame.cols) * 3);
    return CaptureStatus::Captured;
}

ControllerHarness::ControllerHarness(double timeScale, bool started, const QByteArray &platformUrl)
    : m_platform(platformUrl)
    // Whole seconds, as the platform writes its times.
    , m_now(QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch()))
    , m_desktop(new GameDesktop)
    , m_screens(cv::Size(1920, 1080))
{
    OverlayController::Seams seams;
    seams.desktop.reset(m_desktop);
    seams.clock = [this] { return m_now; };
    seams.timeScale = timeScale;
    m_controller = std::make_unique<OverlayController>(&m_api, &m_socket, std::move(seams));
    m_statuses = std::make_unique<QSignalSpy>(m_controller.get(), &OverlayController::statusUpdate);
    m_controller->initialize();
    m_controller->setCredentials(QStringLiteral("token"), userId(), QString());
    if (started)
        m_controller->start();
    m_log.clear();
}

void ControllerHarness::showGame(const cv::Mat &frame)
{
    m_desktop->open = true;
    m_desktop->visible = true;
    m_desktop->focused = true;
    m_desktop->frame = frame;
}

void ControllerHarness::closeGame()
{
    m_desktop->open = false;
}

cv::Mat ControllerHarness::lobby(int taken) const
{
    SyntheticScreen::SlotMask mask{};
    for (int i = 0; i < taken; ++i)
        mask[std::size_t(i)] = true;
    return m_screens.renderLobby(mask);
}

void ControllerHarness::tick()
{
    QMetaObject::invokeMethod(m_controller.get(), "processState");
}

void ControllerHarness::settle()
{
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

void ControllerHarness::detect(const cv::Mat &frame)
{
    showGame(frame);
    advance(1000);
    tick();
    settle();
}

void ControllerHarness::upcoming(const QJsonObject &match)
{
    QMetaObject::invokeMethod(m_controller.get(), "handleUpcomingMatch", Q_ARG(QJsonObject, match));
}

MatchData ControllerHarness::record(bool joinedLobby, int slotNumber, bool captain,
                                    const QString &side) const
{
    MatchData match;
    match.matchId = QStringLiteral("m-1");
    match.userSide = side;
    match.playerSide = side;
    match.slotNumber = slotNumber;
    match.isCaptain = captain;
    match.receivedAt = m_now;
    match.isJoinedLobby = joinedLobby;
    return match;
}

QJsonObject ControllerHarness::liveMatch(const QString &matchId, int serverSlot,
                                         const QString &team) const
{
    QJsonObject match{
        {"matchId", matchId},
        {"scheduledTime", m_now.toString(Qt::ISODate)},
        {"startedAt", QJsonValue::Null},
        {"userSide", "Radiant"},
        {"isCaptain", false},
        {"tournament", QJsonObject{{"id", "t-1"}, {"name", "Winter Cup"}}},
        {"opponent", QJsonObject{{"name", "Night Owls"}}},
    };
    if (serverSlot >= 0)
        match["occupiedSlots"] =
            QJsonArray{QJsonObject{{"userId", userId()}, {"slotNumber", serverSlot}, {"team", team}}};
    return match;
}

void ControllerHarness::driveTo(OverlayState state)
{
    OverlayController &overlay = *m_controller;
    switch (state) {
    case IDLE:
        break;
    case WAITING_FOR_GAME:
        closeGame();
        overlay.handleMatchStart(record(false, -1));
        break;
    case WAITING_FOR_INVITATION:
        showGame(m_screens.renderBackground());
        overlay.handleMatchStart(record(false, -1));
        break;
    case ACCEPTING_INVITATION:
        driveTo(WAITING_FOR_INVITATION);
        detect(m_screens.renderInvitation());
        break;
    case JOINING_SLOT:
    case WAITING_FOR_PLAYERS:
        showGame(lobby(0));
        advance(1000);
        overlay.handleMatchStart(record(true, state == JOINING_SLOT ? -1 : 0));
        break;
    case MATCH_READY:
        driveTo(WAITING_FOR_PLAYERS);
        settle();
        detect(lobby(10));
        break;
    case IN_GAME:
        driveTo(MATCH_READY);
        overlay.handleGameStarted();
        break;
    }
    settle();
    clear();
}

QStringList ControllerHarness::statuses() const
{
    QStringList codes;
    for (const QList<QVariant> &arguments : *m_statuses)
        codes << arguments.constFirst().toString();
    return codes;
}

void ControllerHarness::clear()
{
    m_statuses->clear();
    m_log.clear();
}
