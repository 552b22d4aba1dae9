#include "OverlayController.h"

#include "ApiClient.h"
#include "Desktop.h"
#include "GuidanceRenderer.h"
#include "InvitationDetector.h"
#include "LiveMatchWindow.h"
#include "LobbyDetector.h"
#include "Log.h"
#include "MatchNotification.h"
#include "MatchWidgetData.h"
#include "OverlayWindow.h"
#include "PlatformBridge.h"
#include "TestMode.h"
#include "WebSocketClient.h"

#include <QTimer>

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>
#include <utility>

namespace {

const QString templateDirectory = QStringLiteral(":/templates");

std::unique_ptr<PlatformBridge> makeBridge(std::unique_ptr<Desktop> desktop)
{
    return desktop ? std::make_unique<PlatformBridge>(std::move(desktop))
                   : std::make_unique<PlatformBridge>();
}

} // namespace

OverlayController::OverlayController(ApiClient *api, WebSocketClient *socket, QObject *parent)
    : OverlayController(api, socket, Seams(), parent)
{
}

OverlayController::OverlayController(ApiClient *api, WebSocketClient *socket, Seams seams,
                                     QObject *parent)
    : QObject(parent)
    , m_api(api)
    , m_socket(socket)
    , m_clock(seams.clock ? std::move(seams.clock) : [] { return QDateTime::currentDateTime(); })
    , m_timeScale(seams.timeScale)
{
    logInfo(QStringLiteral("Creating OverlayController..."));
    m_bridge = makeBridge(std::move(seams.desktop));
    m_invitationDetector = std::make_unique<InvitationDetector>();
    m_lobbyDetector = std::make_unique<LobbyDetector>();
    m_overlayWindow = std::make_unique<OverlayWindow>(m_bridge.get());
    m_liveMatchWindow = std::make_unique<LiveMatchWindow>();

    m_processTimer = new QTimer(this);
    // A coarse timer may fire a little early, and the 500 ms detection throttle then skips that
    // tick: detections would come every second instead of twice a second.
    m_processTimer->setTimerType(Qt::PreciseTimer);
    m_stateTimeoutTimer = new QTimer(this);
    m_stateTimeoutTimer->setObjectName(QStringLiteral("stateTimeoutTimer"));
    m_stateTimeoutTimer->setSingleShot(true);
    m_windowPositionTimer = new QTimer(this);
    m_upcomingMatchTimer = new QTimer(this);

    m_invitationWatcher = new QFutureWatcher<InvitationOutcome>(this);
    m_lobbyWatcher = new QFutureWatcher<LobbyOutcome>(this);
    connect(m_invitationWatcher, &QFutureWatcherBase::finished, this,
            &OverlayController::onInvitationDetectionComplete);
    connect(m_lobbyWatcher, &QFutureWatcherBase::finished, this,
            &OverlayController::onLobbyDetectionComplete);

    m_lastDetectionAt = now();
    logInfo(QStringLiteral("OverlayController created successfully"));
}

OverlayController::~OverlayController()
{
    stop();
    // A worker still running reads a detector and its frame; neither may go before it ends.
    m_invitationWatcher->waitForFinished();
    m_lobbyWatcher->waitForFinished();
    logInfo(QStringLiteral("OverlayController destroyed"));
    m_liveMatchWindow.reset();
    m_overlayWindow.reset();
    m_lobbyDetector.reset();
    m_invitationDetector.reset();
    m_bridge.reset();
}

QDateTime OverlayController::now() const
{
    return m_clock();
}

int OverlayController::scaled(int milliseconds) const
{
    return int(std::min(std::lround(milliseconds * m_timeScale), long(INT_MAX)));
}

void OverlayController::initialize()
{
    logInfo(QStringLiteral("Initializing OverlayController..."));
    logInfo(QStringLiteral("Loading templates from embedded resources: %1").arg(templateDirectory));
    if (!m_invitationDetector->loadTemplates(templateDirectory))
        logWarn(QStringLiteral("Some invitation detector templates could not be loaded"));
    if (!m_lobbyDetector->loadTemplates(templateDirectory))
        logWarn(QStringLiteral("Some lobby detector templates could not be loaded"));

    connect(m_socket, &WebSocketClient::connected, this, &OverlayController::fetchUpcomingMatch);
    connect(m_socket, &WebSocketClient::matchNotificationReceived, this,
            [this](const QString &type, const QString &, const QString &, const QString &,
                   const QJsonObject &payload) { onMatchNotification(type, payload); });
    connect(m_socket, &WebSocketClient::tournamentUpdateReceived, this,
            [this](const QString &type, const QString &, const QString &, const QString &,
                   const QJsonObject &payload) { onTournamentUpdate(type, payload); });
    connect(m_processTimer, &QTimer::timeout, this, &OverlayController::processState);
    connect(m_stateTimeoutTimer, &QTimer::timeout, this, &OverlayController::handleTimeout);
    connect(m_windowPositionTimer, &QTimer::timeout, this, [this] { positionWindows(); },
            Qt::DirectConnection);
    connect(m_upcomingMatchTimer, &QTimer::timeout, this, &OverlayController::fetchUpcomingMatch);
    logInfo(QStringLiteral("OverlayController initialized successfully"));
}

// Only the user id is consulted (to tell the user's own notifications); the token and Steam id
// are not kept, so the overlay holds no secret.
void OverlayController::setCredentials(const QString &, const QString &userId, const QString &)
{
    m_userId = userId;
}

void OverlayController::start()
{
    if (m_running)
        return;
    logInfo(QStringLiteral("Starting OverlayController..."));
    m_running = true;
    m_processTimer->start(scaled(TickIntervalMs));
    m_windowPositionTimer->start(scaled(WindowPositionIntervalMs));
    m_upcomingMatchTimer->start(scaled(UpcomingMatchIntervalMs));
    fetchUpcomingMatch();
    m_overlayWindow->showOverlay();
    if (isTestModeEnabled())
        startTestMode();
    logInfo(QStringLiteral("OverlayController started"));
}

void OverlayController::stop()
{
    if (!m_running)
        return;
    logInfo(QStringLiteral("Stopping OverlayController..."));
    m_running = false;
    m_processTimer->stop();
    m_stateTimeoutTimer->stop();
    m_windowPositionTimer->stop();
    m_upcomingMatchTimer->stop();
    m_overlayWindow->hideOverlay();
    m_liveMatchWindow->hideWidget();
    setState(IDLE);
    resetMatch();
    logInfo(QStringLiteral("OverlayController stopped"));
}

void OverlayController::startTestMode()
{
    logInfo(QStringLiteral("[TEST MODE] Simulating match start"));
    auto match = std::make_unique<MatchData>();
    match->matchId = QStringLiteral("test-match-123");
    match->lobbyName = QStringLiteral("TEST Tournament");
    match->userSide = QStringLiteral("Radiant");
    match->playerSide = QStringLiteral("Radiant");
    match->slotNumber = 1;
    match->receivedAt = now();
    match->isJoinedLobby = true;
    m_matchData = std::move(match);
    m_overlayWindow->updateMatchData(m_matchData.get());
    // Not cancelled by stop(): the simulated match begins even if the controller stopped since.
    QTimer::singleShot(scaled(1000), this, [this] { setState(WAITING_FOR_GAME); });
}

// Drops the match being guided, and the one waiting for the game window.
void OverlayController::resetMatch()
{
    m_matchData.reset();
    m_pendingMatch = QJsonObject();
    m_userInLobby = false;
}

void OverlayController::resetPlayerCount()
{
    m_playerCount = 0;
    m_overlayWindow->updatePlayerCount(0);
}

void OverlayController::setState(OverlayState newState)
{
    if (newState == m_state)
        return;
    logInfo(QStringLiteral("State transition: %1 -> %2").arg(int(m_state)).arg(int(newState)));
    const OverlayState oldState = m_state;
    m_state = newState;
    if (newState == IDLE)
        m_gameWasOpen = false; // the next match watches for the game's closing afresh
    m_overlayWindow->updateState(newState);

    GuidanceRenderer *guidance = m_overlayWindow->guidanceRenderer();
    if (newState != ACCEPTING_INVITATION && newState != JOINING_SLOT)
        guidance->hidePointer();
    if (oldState == JOINING_SLOT)
        guidance->clearBoundingBox();

    if (newState == IN_GAME) {
        m_overlayWindow->hideOverlay();
        m_overlayHiddenForFocus = false;
        logInfo(QStringLiteral("Overlay hidden - player is in game"));
    } else {
        if (oldState == IN_GAME) {
            m_overlayWindow->showOverlay();
            m_overlayHiddenForFocus = false;
            logInfo(QStringLiteral("Overlay shown - player left game"));
        }
        if (newState == IDLE) {
            m_overlayHiddenForFocus = false;
        } else if (oldState == IDLE) {
            m_overlayWindow->showOverlay();
            m_overlayHiddenForFocus = false;
        }
    }

    emit stateChanged(newState);

    if (newState == IDLE || newState == IN_GAME)
        m_stateTimeoutTimer->stop();
    else
        m_stateTimeoutTimer->start(scaled(StateTimeoutMs));
    emit statusUpdate(QStringLiteral("STATE_%1").arg(int(newState)));
}

void OverlayController::processState()
{
    if (!m_running)
        return;

    if (m_matchData && m_state != IDLE && m_matchData->isExpired(MatchMaxAgeMinutes, now())) {
        logWarn(QStringLiteral("Match data expired - Resetting to IDLE"));
        resetMatch();
        setState(IDLE);
        emit statusUpdate(QStringLiteral("MATCH_EXPIRED"));
        return;
    }

    // Guidance is drawn over the game only: while another window is in front, the overlay is
    // hidden once and the steps pause.
    if (m_state != IDLE && m_state != IN_GAME) {
        const bool inFront = m_bridge->isDota2Foreground();
        const bool open = inFront || m_bridge->isDota2WindowOpen();
        // A game that closes never comes back to the front, so pausing would hold a stale lobby
        // step until the watchdog: the flow goes back to waiting for the game instead.
        if (m_gameWasOpen && !open && m_state != WAITING_FOR_GAME)
            setState(WAITING_FOR_GAME);
        m_gameWasOpen = open;
        if (!inFront) {
            if (!m_overlayHiddenForFocus) {
                m_overlayWindow->hideOverlay();
                m_overlayHiddenForFocus = true;
            }
            return;
        }
        if (m_overlayHiddenForFocus) {
            m_overlayWindow->showOverlay();
            m_overlayHiddenForFocus = false;
        }
    }

    try {
        switch (m_state) {
        case IDLE:
            processIdle();
            break;
        case WAITING_FOR_GAME:
            processWaitingForGame();
            break;
        case WAITING_FOR_INVITATION:
            processWaitingForInvitation();
            break;
        case ACCEPTING_INVITATION:
            processAcceptingInvitation();
            break;
        case JOINING_SLOT:
            processJoiningSlot();
            break;
        case WAITING_FOR_PLAYERS:
        case MATCH_READY:
            processWaitingForPlayers();
            break;
        case IN_GAME:
            break;
        }
    } catch (const std::exception &error) {
        logError(QStringLiteral("Error in processState: %1").arg(QString::fromUtf8(error.what())));
    } catch (...) {
        // An exception escaping a slot would end the process; the next tick tries again.
        logError(QStringLiteral("Error in processState: unknown exception"));
    }
}

void OverlayController::processIdle()
{
    if (m_pendingMatch.isEmpty() || !m_bridge->isDota2WindowVisible())
        return;
    logInfo(QStringLiteral("Dota 2 detected with pending match - starting overlay session"));
    m_liveMatchWindow->hideWidget();
    m_overlayWindow->positionOnGameScreen();

    MatchData match;
    match.matchId = m_pendingMatch.value(QLatin1String("matchId")).toString();
    match.userSide = m_pendingMatch.value(QLatin1String("userSide")).toString();
    match.playerSide = match.userSide;
    match.isCaptain = m_pendingMatch.value(QLatin1String("isCaptain")).toBool();
    match.lobbyName = m_pendingMatch.value(QLatin1String("tournament"))
                          .toObject()
                          .value(QLatin1String("name"))
                          .toString();
    match.slotNumber = -1;
    match.receivedAt = now();
    match.isJoinedLobby = m_userInLobby;
    m_matchData = std::make_unique<MatchData>(match);
    m_overlayWindow->updateMatchData(m_matchData.get());
    emit statusUpdate(QStringLiteral("GAME_DETECTED"));
    emit matchDataChanged(match);
    m_pendingMatch = QJsonObject();

    OverlayState next = WAITING_FOR_INVITATION;
    if (m_userInLobby) {
        logInfo(QStringLiteral("User already in lobby, skipping to JOINING_SLOT"));
        next = JOINING_SLOT;
    }
    m_userInLobby = false;
    setState(next);
}

void OverlayController::processWaitingForGame()
{
    if (!m_bridge->isDota2WindowVisible())
        return;
    logInfo(QStringLiteral("Dota 2 detected!"));
    m_liveMatchWindow->hideWidget();
    // The overlay was placed when the launcher started, perhaps before the game ran, and the
    // periodic placement comes only every ten seconds: an invitation on another monitor would be
    // guided on the wrong one until then.
    m_overlayWindow->positionOnGameScreen();
    emit statusUpdate(QStringLiteral("GAME_DETECTED"));
    if (m_matchData && m_matchData->isJoinedLobby) {
        logInfo(QStringLiteral("Skipping to JOINING_SLOT (player already in lobby)"));
        setState(JOINING_SLOT);
    } else {
        setState(WAITING_FOR_INVITATION);
    }
}

void OverlayController::positionWindows()
{
    if (m_state != IDLE)
        m_overlayWindow->positionOnGameScreen();
    if (m_liveMatchWindow->isVisible())
        m_liveMatchWindow->positionWidget();
}

void OverlayController::handleMatchStart(MatchData data)
{
    logInfo(QStringLiteral("Match started! ID: %1, Side: %2").arg(data.matchId, data.playerSide));
    if (!data.isValid()) {
        logError(QStringLiteral("Invalid match data received"));
        return;
    }
    m_matchData = std::make_unique<MatchData>(data);
    m_overlayWindow->updateMatchData(m_matchData.get());
    emit matchDataChanged(data);

    OverlayState next = WAITING_FOR_GAME;
    if (data.isJoinedLobby)
        next = data.slotNumber >= 0 ? WAITING_FOR_PLAYERS : JOINING_SLOT;
    setState(next);
    processState();
}

void OverlayController::handleLobbyJoined()
{
    logInfo(QStringLiteral("Lobby joined"));
    if (m_state == WAITING_FOR_INVITATION || m_state == ACCEPTING_INVITATION)
        setState(JOINING_SLOT);
}

void OverlayController::handleLobbyLeft()
{
    logInfo(QStringLiteral("Lobby left"));
    if (m_state == IDLE)
        return;
    if (m_state == IN_GAME) {
        setState(IDLE);
        resetMatch();
        resetPlayerCount();
        emit statusUpdate(QStringLiteral("MATCH_ENDED"));
        return;
    }
    setState(WAITING_FOR_INVITATION);
    resetPlayerCount();
}

void OverlayController::handleSlotOccupied(QString side, int slotNumber)
{
    logInfo(QStringLiteral("Slot occupied: %1 - Slot %2").arg(side).arg(slotNumber));
    if (!m_matchData || !m_matchData->isValid())
        return;
    m_matchData->playerSide = side;
    m_matchData->slotNumber = slotNumber;
    // The dashboard's rule; the lobby screen's rule (processJoiningSlot) keeps the captain to
    // slot 0.
    const bool correct = isSameSide(m_matchData->userSide, m_matchData->playerSide)
        && (m_matchData->isCaptain || m_matchData->slotNumber > 0);
    if (correct) {
        logInfo(QStringLiteral("Player is in the CORRECT slot!"));
        setState(WAITING_FOR_PLAYERS);
    } else if (m_state != JOINING_SLOT) {
        setState(JOINING_SLOT);
    }
}

void OverlayController::handleGameStarted()
{
    logInfo(QStringLiteral("Game started"));
    if (m_state != WAITING_FOR_PLAYERS && m_state != MATCH_READY)
        return;
    setState(IN_GAME);
    emit statusUpdate(QStringLiteral("IN_GAME"));
}

void OverlayController::handleGameCompleted()
{
    logInfo(QStringLiteral("Game completed"));
    m_liveMatchWindow->matchWidgetData()->clear();
    m_liveMatchWindow->hideWidget();
    resetMatch();
    setState(IDLE);
    emit statusUpdate(QStringLiteral("IDLE"));
}

void OverlayController::handleTimeout()
{
    logWarn(QStringLiteral("State timeout! Resetting..."));
    emit statusUpdate(QStringLiteral("TIMEOUT"));
    setState(WAITING_FOR_INVITATION);
}

void OverlayController::onMatchNotification(const QString &type, const QJsonObject &payload)
{
    if (type == QLatin1String("GAME_COMPLETED")) {
        handleGameCompleted();
        return;
    }
    const bool lobbyJoined = type == QLatin1String("LOBBY_JOINED");
    if (!lobbyJoined && type != QLatin1String("LOBBY_READY")
        && type != QLatin1String("MATCH_STARTING_SOON") && type != QLatin1String("MATCH_CREATED"))
        return;
    if (lobbyJoined) {
        m_userInLobby = true;
        logInfo(QStringLiteral("User joined lobby (from notification)"));
        if (m_state == WAITING_FOR_INVITATION || m_state == ACCEPTING_INVITATION) {
            logInfo(QStringLiteral("Transitioning to JOINING_SLOT after LOBBY_JOINED notification"));
            m_overlayWindow->guidanceRenderer()->hidePointer();
            emit statusUpdate(QStringLiteral("LOBBY_ENTERED"));
            setState(JOINING_SLOT);
        }
    }
    takeMatchPayload(payload);
}

void OverlayController::onTournamentUpdate(const QString &type, const QJsonObject &payload)
{
    if (type == QLatin1String("match:updated"))
        takeMatchPayload(payload);
}

void OverlayController::takeMatchPayload(const QJsonObject &payload)
{
    if (payload.isEmpty())
        return;
    const QJsonObject match = parseMatchNotification(payload, m_userId);
    if (match.isEmpty())
        return;
    ++m_matchPushes;
    handleUpcomingMatch(match);
}
