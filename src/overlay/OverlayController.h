#pragma once

#include "MatchData.h"
#include "OverlayState.h"
#include "PlatformBridge.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <opencv2/core.hpp>

#include <functional>
#include <memory>

class ApiClient;
class Desktop;
class InvitationDetector;
class LiveMatchWindow;
class LobbyDetector;
class OverlayWindow;
class QTimer;
class WebSocketClient;

// Guides the player through a match: learns of the next match from the platform (live-game
// endpoint and socket events), waits for the game window, and walks the player through the
// game's invitation, lobby slot and waiting for the ten players, drawing guidance over the game.
// Everything runs on the GUI thread but template matching, which runs on the global thread pool
// with at most one invitation and one lobby detection in flight.
//
// The work is split over three files: OverlayController.cpp (lifecycle, transitions, the tick,
// event slots and socket events), OverlayDetection.cpp (captures, detection workers, guidance
// placement) and UpcomingMatch.cpp (the live game and match payloads from the platform).
class OverlayController : public QObject
{
    Q_OBJECT

public:
    // What tests replace; the launcher uses the defaults.
    struct Seams
    {
        // The desktop the game window is looked up on; null: the compiled-in backend.
        std::unique_ptr<Desktop> desktop;
        // The local time for expiry, the detection throttle and the widget's 180-second hold;
        // null: QDateTime::currentDateTime.
        std::function<QDateTime()> clock;
        // Every timer of the controller (tick, watchdog, re-positioning, live-game poll, the
        // test-mode start) runs this many times its real length. A test that ticks by hand sets
        // it large, so that no timer fires under it; log lines keep the real figures.
        double timeScale = 1.0;
    };

    static constexpr int TickIntervalMs = 500;
    static constexpr int StateTimeoutMs = 300000;
    static constexpr int WindowPositionIntervalMs = 10000;
    static constexpr int UpcomingMatchIntervalMs = 900000;
    // A match record older than this many whole minutes is dropped.
    static constexpr int MatchMaxAgeMinutes = 30;
    // The live-match widget shows a match from this many seconds before its start.
    static constexpr int WidgetLeadSeconds = 180;

    // `api` and `socket` are borrowed and must outlive the controller.
    OverlayController(ApiClient *api, WebSocketClient *socket, QObject *parent = nullptr);
    OverlayController(ApiClient *api, WebSocketClient *socket, Seams seams,
                      QObject *parent = nullptr);
    // Stops, then waits for detections still in flight: they use the detectors.
    ~OverlayController() override;
    OverlayController(const OverlayController &) = delete;
    OverlayController &operator=(const OverlayController &) = delete;

    void initialize();
    void setCredentials(const QString &token, const QString &userId, const QString &steamId);
    void start();
    void stop();

    // Asks the platform for the live game; the answer goes to handleUpcomingMatch unless a socket
    // event about the match came while it was on its way.
    void fetchUpcomingMatch();

    // Observers.
    OverlayState state() const { return m_state; }
    bool isRunning() const { return m_running; }
    // The match being guided, or null.
    const MatchData *matchData() const { return m_matchData.get(); }
    QJsonObject pendingMatch() const { return m_pendingMatch; }
    OverlayWindow *overlayWindow() const { return m_overlayWindow.get(); }
    LiveMatchWindow *liveMatchWindow() const { return m_liveMatchWindow.get(); }

signals:
    void stateChanged(OverlayState newState);
    void matchDataChanged(MatchData data);
    void statusUpdate(QString status);

public slots:
    void handleMatchStart(MatchData data);
    void handleLobbyJoined();
    void handleLobbyLeft();
    void handleSlotOccupied(QString side, int slotNumber);
    void handleGameStarted();
    void handleGameCompleted();

private slots:
    void processState();
    void handleTimeout();
    void handleUpcomingMatch(QJsonObject matchData);
    void onInvitationDetectionComplete();
    void onLobbyDetectionComplete();

private:
    // What a detection worker hands back with its answer, whole, through its future.
    struct InvitationOutcome
    {
        bool found = false;
        cv::Point acceptButton{-1, -1}; // set only when found
    };
    struct LobbyOutcome
    {
        bool inLobby = false;
        int occupiedSlots = 0; // set only when inLobby
    };

    // The latest detector outputs.
    struct DetectionResults
    {
        bool invitationVisible = false;
        cv::Point acceptButtonPos{-1, -1};
        bool lobbyVisible = false;
        int occupiedSlotCount = 0;
    };

    QDateTime now() const;
    int scaled(int milliseconds) const;

    void setState(OverlayState newState);
    void resetMatch();
    void resetPlayerCount();
    void positionWindows();
    void startTestMode();
    void onMatchNotification(const QString &type, const QJsonObject &payload);
    void onTournamentUpdate(const QString &type, const QJsonObject &payload);
    void takeMatchPayload(const QJsonObject &payload);

    void processIdle();
    void processWaitingForGame();

    // Detection scheduling.
    cv::Mat captureGameFrame();
    bool detectionDue();
    bool lostGameWindow();
    // A capture when the throttle lets one happen; empty otherwise. Launches ignore empty frames.
    cv::Mat dueFrame();
    void startInvitationDetection(const cv::Mat &frame);
    void startLobbyDetection(const cv::Mat &frame);
    void processWaitingForInvitation();
    void processAcceptingInvitation();
    void processJoiningSlot();
    void processWaitingForPlayers();
    void pointAtAcceptButton();
    void guideToSlot(bool mayAdvance);
    void highlightSlotsToTake();
    void declineInvitation();

    // Upcoming match.
    void forgetUpcomingMatch();
    bool holdsBackForStartTime(const QJsonObject &match) const;
    void switchToMatch(const QString &newId, const QString &currentId);
    void followServerSlot(const QJsonObject &match);

    ApiClient *m_api;
    WebSocketClient *m_socket;
    std::function<QDateTime()> m_clock;
    double m_timeScale;

    OverlayState m_state = IDLE;
    std::unique_ptr<MatchData> m_matchData;
    QJsonObject m_pendingMatch;
    quint64 m_matchPushes = 0; // socket events that reached handleUpcomingMatch
    bool m_userInLobby = false;
    bool m_running = false;
    int m_playerCount = 0;
    bool m_overlayHiddenForFocus = false;
    bool m_gameWasOpen = false; // the game window existed at the last look in states 1 to 6
    QDateTime m_lastDetectionAt;
    FramePlacement m_framePlacement; // of the last captured frame
    DetectionResults m_results;
    bool m_invitationDetectionRunning = false;
    bool m_lobbyDetectionRunning = false;
    // The invitation's miss waits for the lobby look at the same frame (see
    // onInvitationDetectionComplete).
    bool m_declineAwaitsLobbyResult = false;

    QString m_userId;

    // Owned components, created in this order and destroyed in reverse.
    std::unique_ptr<PlatformBridge> m_bridge;
    std::unique_ptr<InvitationDetector> m_invitationDetector;
    std::unique_ptr<LobbyDetector> m_lobbyDetector;
    std::unique_ptr<OverlayWindow> m_overlayWindow;
    std::unique_ptr<LiveMatchWindow> m_liveMatchWindow;

    QTimer *m_processTimer;
    QTimer *m_stateTimeoutTimer;
    QTimer *m_windowPositionTimer;
    QTimer *m_upcomingMatchTimer;
    QFutureWatcher<InvitationOutcome> *m_invitationWatcher;
    QFutureWatcher<LobbyOutcome> *m_lobbyWatcher;
};
