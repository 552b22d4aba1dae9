// The tick steps of the lobby flow: captures of the game window, the detection workers and their
// completions, and where the hand and the slot frame go.
#include "OverlayController.h"

#include "GuidanceRenderer.h"
#include "InvitationDetector.h"
#include "LobbyDetector.h"
#include "Log.h"
#include "OverlayWindow.h"
#include "PlatformBridge.h"

#include <QPointF>
#include <QRectF>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <utility>

namespace {

// Workers report what escaped the detectors (the detectors catch their own image errors), and
// the detection counts as a miss.
template <typename Outcome, typename Body>
Outcome guarded(const QString &detection, Body body)
{
    try {
        return body();
    } catch (const std::exception &error) {
        logError(QStringLiteral("%1 detection failed: %2")
                     .arg(detection, QString::fromUtf8(error.what())));
    } catch (...) {
        logError(QStringLiteral("%1 detection failed: unknown exception").arg(detection));
    }
    return Outcome();
}

} // namespace

cv::Mat OverlayController::captureGameFrame()
{
    if (!m_bridge->isDota2Foreground())
        return cv::Mat();
    cv::Mat frame = m_bridge->captureDota2Window();
    // The answers about this frame are placed where its pixels are: in a window, on another
    // screen, under display scaling.
    if (!frame.empty())
        m_framePlacement = m_bridge->framePlacement();
    return frame;
}

// The game window closed or hidden: back to waiting for it.
bool OverlayController::lostGameWindow()
{
    if (m_bridge->isDota2WindowVisible())
        return false;
    setState(WAITING_FOR_GAME);
    return true;
}

cv::Mat OverlayController::dueFrame()
{
    return detectionDue() ? captureGameFrame() : cv::Mat();
}

bool OverlayController::detectionDue()
{
    const QDateTime current = now();
    if (m_lastDetectionAt.msecsTo(current) < TickIntervalMs)
        return false;
    m_lastDetectionAt = current;
    return true;
}

void OverlayController::startInvitationDetection(const cv::Mat &frame)
{
    if (m_invitationDetectionRunning || frame.empty())
        return;
    m_invitationDetectionRunning = true;
    // The task shares the frame's pixels; nothing writes to them after the capture.
    const InvitationDetector *detector = m_invitationDetector.get();
    m_invitationWatcher->setFuture(QtConcurrent::run([detector, frame] {
        return guarded<InvitationOutcome>(QStringLiteral("Invitation"), [&] {
            // One search for the popup answers both: the button is looked for inside it.
            const InvitationDetector::Invitation invitation = detector->detect(frame);
            InvitationOutcome outcome;
            outcome.found = invitation.visible;
            if (outcome.found)
                outcome.acceptButton = invitation.acceptButton;
            return outcome;
        });
    }));
}

void OverlayController::startLobbyDetection(const cv::Mat &frame)
{
    if (m_lobbyDetectionRunning || frame.empty())
        return;
    m_lobbyDetectionRunning = true;
    LobbyDetector *detector = m_lobbyDetector.get();
    m_lobbyWatcher->setFuture(QtConcurrent::run([detector, frame] {
        return guarded<LobbyOutcome>(QStringLiteral("Lobby"), [&] {
            LobbyOutcome outcome;
            outcome.inLobby = detector->isInLobby(frame);
            if (outcome.inLobby)
                outcome.occupiedSlots = detector->countOccupiedSlots(frame);
            return outcome;
        });
    }));
}

void OverlayController::processWaitingForInvitation()
{
    if (lostGameWindow())
        return;
    startInvitationDetection(dueFrame());
}

void OverlayController::processAcceptingInvitation()
{
    if (lostGameWindow())
        return;
    pointAtAcceptButton();
    const cv::Mat frame = dueFrame();
    startInvitationDetection(frame);
    startLobbyDetection(frame);
}

void OverlayController::processJoiningSlot()
{
    if (lostGameWindow())
        return;
    if (!m_matchData || !m_matchData->isValid()) {
        setState(IDLE);
        return;
    }
    // No throttle here: the slot frame follows the lobby screen on every tick.
    const cv::Mat frame = captureGameFrame();
    if (frame.empty())
        return;
    startLobbyDetection(frame);
    guideToSlot(true);
}

void OverlayController::pointAtAcceptButton()
{
    const cv::Point accept = m_results.acceptButtonPos;
    if (accept.x >= 0 && accept.y >= 0)
        m_overlayWindow->guidanceRenderer()->setPointer(
            m_framePlacement.toOverlay(QPointF(accept.x, accept.y)));
}

// Frames the slots to take from the latest lobby result, or, once the player sits in a correct
// one and `mayAdvance` (the tick, which alone moves the state here), goes on to waiting for the
// other players.
void OverlayController::guideToSlot(bool mayAdvance)
{
    if (!m_matchData || !m_matchData->isValid() || !m_lobbyDetector->slotRegionsCalculated())
        return;
    if (!m_results.lobbyVisible) {
        m_overlayWindow->guidanceRenderer()->clearBoundingBox();
        return;
    }
    // The screen tells only that the lobby is up; where the player sits comes from the
    // dashboard's and the server's slot reports. A captain belongs in his side's first slot.
    const MatchData &match = *m_matchData;
    const bool correct = isSameSide(match.userSide, match.playerSide)
        && (match.isCaptain ? match.slotNumber == 0 : match.slotNumber > 0);
    if (correct) {
        if (mayAdvance) {
            logInfo(QStringLiteral("Player is in the CORRECT slot!"));
            setState(WAITING_FOR_PLAYERS);
        }
        return;
    }
    highlightSlotsToTake();
}

// Frames the slots the player may take: his side's first slot for a captain, its four others
// for anyone else. The left column (slots 0 to 4) is the Radiant side.
void OverlayController::highlightSlotsToTake()
{
    const QList<cv::Rect> regions = m_lobbyDetector->slotRegions();
    if (regions.size() != 10)
        return;
    const bool radiant = m_matchData->userSide.toLower() == QLatin1String("radiant");
    const int first = (radiant ? 0 : 5) + (m_matchData->isCaptain ? 0 : 1);
    const int count = m_matchData->isCaptain ? 1 : 4;
    QRectF box;
    for (int i = first; i < first + count; ++i) {
        const cv::Rect &slot = regions.at(i);
        const QRectF rect(slot.x, slot.y, slot.width, slot.height);
        box = box.isEmpty() ? rect : box.united(rect);
    }
    m_overlayWindow->guidanceRenderer()->setBoundingBox(m_framePlacement.toOverlay(box));
}

void OverlayController::processWaitingForPlayers()
{
    if (lostGameWindow())
        return;
    startLobbyDetection(dueFrame());
}

void OverlayController::onInvitationDetectionComplete()
{
    m_invitationDetectionRunning = false;
    const InvitationOutcome outcome = m_invitationWatcher->result();
    m_results.invitationVisible = outcome.found;
    if (outcome.found)
        m_results.acceptButtonPos = outcome.acceptButton;

    if (m_state == WAITING_FOR_INVITATION && outcome.found) {
        logInfo(QStringLiteral("Invitation popup detected!"));
        emit statusUpdate(QStringLiteral("INVITATION_DETECTED"));
        setState(ACCEPTING_INVITATION);
        // The hand goes up with the answer, not a tick later.
        pointAtAcceptButton();
    } else if (m_state == ACCEPTING_INVITATION && !outcome.found && !m_userInLobby
               && !m_results.lobbyVisible) {
        // The popup also goes when the player accepts it: with the lobby look at the same frame
        // still running, its answer decides, or entering the lobby would pass for a decline.
        if (m_lobbyDetectionRunning)
            m_declineAwaitsLobbyResult = true;
        else
            declineInvitation();
    }
}

void OverlayController::declineInvitation()
{
    emit statusUpdate(QStringLiteral("INVITATION_DECLINED"));
    setState(WAITING_FOR_INVITATION);
}

void OverlayController::onLobbyDetectionComplete()
{
    m_lobbyDetectionRunning = false;
    const bool declineAwaited = std::exchange(m_declineAwaitsLobbyResult, false);
    const LobbyOutcome outcome = m_lobbyWatcher->result();
    m_results.lobbyVisible = outcome.inLobby;
    if (outcome.inLobby)
        m_results.occupiedSlotCount = outcome.occupiedSlots;

    switch (m_state) {
    case ACCEPTING_INVITATION:
        if (!outcome.inLobby) {
            if (declineAwaited && !m_userInLobby)
                declineInvitation();
            return;
        }
        logInfo(QStringLiteral("Entered lobby!"));
        m_overlayWindow->guidanceRenderer()->hidePointer();
        emit statusUpdate(QStringLiteral("LOBBY_ENTERED"));
        setState(JOINING_SLOT);
        guideToSlot(false); // the frame goes up with the answer, not a tick later
        return;
    case JOINING_SLOT:
        guideToSlot(false);
        return;
    case WAITING_FOR_PLAYERS:
        if (!outcome.inLobby)
            return;
        if (m_results.occupiedSlotCount != m_playerCount) {
            m_playerCount = m_results.occupiedSlotCount;
            m_overlayWindow->updatePlayerCount(m_playerCount);
        }
        if (m_playerCount >= 10) {
            logInfo(QStringLiteral("All players joined!"));
            emit statusUpdate(QStringLiteral("ALL_PLAYERS_JOINED"));
            setState(MATCH_READY);
        }
        return;
    case MATCH_READY:
        if (outcome.inLobby)
            return;
        logInfo(QStringLiteral("Game has started!"));
        setState(IN_GAME);
        emit statusUpdate(QStringLiteral("IN_GAME"));
        return;
    default:
        return;
    }
}
