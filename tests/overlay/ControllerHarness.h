#pragma once

#include "ApiClient.h"
#include "Desktop.h"
#include "LogCapture.h"
#include "MatchData.h"
#include "OverlayController.h"
#include "SyntheticScreen.h"
#include "WebSocketClient.h"

#include <QDateTime>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStringList>

#include <opencv2/core.hpp>

#include <memory>

// A desktop with at most one window, the game's, showing whatever frame a test puts on it.
class GameDesktop final : public Desktop
{
public:
    bool open = false;
    bool visible = true;
    bool focused = true;
    cv::Mat frame; // BGR; its size is the game's client area
    cv::Point origin; // the client area's top-left on the desktop
    int grabs = 0;

    std::vector<TopLevelWindow> topLevelWindows() override;
    WindowState windowState(WindowId window) override;
    WindowId foregroundWindow() override;
    std::optional<Rect> clientRect(WindowId window) override;
    Monitor monitorOf(WindowId window) override;
    CaptureStatus grabScreen(const Rect &area, std::uint8_t *target, std::size_t stride) override;

private:
    Rect clientArea() const;
};

// A started controller over a GameDesktop at 1920 x 1080, with a clock the test turns by hand and
// timers long enough never to fire under a test (unless it asks for a shorter scale). The REST
// client points at `platformUrl`, by default a closed port where live-game requests fail at once.
// One harness at a time: each captures the log, and captures do not nest.
class ControllerHarness
{
public:
    static constexpr double ManualTimeScale = 1000;

    explicit ControllerHarness(double timeScale = ManualTimeScale, bool started = true,
                               const QByteArray &platformUrl = "http://127.0.0.1:9");

    OverlayController &controller() { return *m_controller; }
    GameDesktop &desktop() { return *m_desktop; }
    WebSocketClient &socket() { return m_socket; }
    LogCapture &log() { return m_log; }
    const SyntheticScreen &screens() const { return m_screens; }

    QDateTime now() const { return m_now; }
    void advance(qint64 milliseconds) { m_now = m_now.addMSecs(milliseconds); }

    // The game window in front, showing `frame`; or closed.
    void showGame(const cv::Mat &frame);
    void closeGame();
    cv::Mat lobby(int taken) const; // the first `taken` slots taken, left column first

    // One tick of the state machine, as its timer would run it.
    void tick();
    // Waits for the detection workers and delivers their completions.
    void settle();
    // A tick on a frame whose detection is due, and its completions.
    void detect(const cv::Mat &frame);
    void upcoming(const QJsonObject &match);

    // A match record as the dashboard reports it, made now.
    MatchData record(bool joinedLobby, int slotNumber, bool captain = false,
                     const QString &side = QStringLiteral("Radiant")) const;
    // A live-game match object for the user, starting now; with a server slot number (one-based),
    // the server's record of the user in that slot.
    QJsonObject liveMatch(const QString &matchId = QStringLiteral("m-1"), int serverSlot = -1,
                          const QString &team = QStringLiteral("Radiant")) const;
    // Brings the controller into `state` through its slots and real detections.
    void driveTo(OverlayState state);

    // Status codes since the last clear().
    QStringList statuses() const;
    void clear();

    static QString userId() { return QStringLiteral("u-7"); }

private:
    // Set before the REST client reads it.
    struct Platform
    {
        explicit Platform(const QByteArray &url) { qputenv("API_BASE_URL", url); }
    };

    Platform m_platform;
    QDateTime m_now;
    LogCapture m_log;
    ApiClient m_api;
    WebSocketClient m_socket;
    GameDesktop *m_desktop;
    std::unique_ptr<OverlayController> m_controller;
    std::unique_ptr<QSignalSpy> m_statuses;
    SyntheticScreen m_screens;
};
