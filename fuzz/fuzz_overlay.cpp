// The overlay controller's view of the next match: socket notifications and tournament events
// (through parseMatchNotification), live-game answers (handleUpcomingMatch), the dashboard's
// match messages, the game window coming and going, and time passing.
//
// Input, one step per line; the first character names it, its argument follows after a space:
//   L <json>         the live-game endpoint answered <json>
//   N <type> <json>  a "notification:new" of <type> carrying <json> as its match metadata
//   T <event> <json> a tournament room event (such as "match:updated") with <json> as its data
//   M <json>         the dashboard's "match:ready" with <json> as its match object
//   J, X             the dashboard reports the lobby joined, left
//   O <side> <slot>  the dashboard reports a slot taken
//   S, C             the game started, completed
//   G 1, G 2, G 0    the game window opens behind the launcher, comes to the front, closes
//   W <seconds>      the clock moves on
//   P                one tick of the state machine
// Every input starts from the same controller state, and leaves it so: signed in as u-1001,
// idle, no match.
//
// The socket steps emit WebSocketClient's own signals, as its event handling does after reading
// a frame. The live-game answer and the tick reach their private slots through the meta-object
// system, as the controller's tests do; in the launcher the REST callback and the timer call
// them from inside the controller. Capturing
// the game window always fails, so no detection starts: detection is not what this target
// covers. The controller's windows have no QML scenes here (the resources are not linked).

#include "ApiClient.h"
#include "Desktop.h"
#include "FuzzSupport.h"
#include "LiveMatchWindow.h"
#include "MatchData.h"
#include "MatchWidgetData.h"
#include "OverlayController.h"
#include "WebSocketClient.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThreadPool>
#include <QVariantMap>

#include <memory>

namespace {

constexpr Desktop::WindowId gameWindow = 1;
const QString userId = QStringLiteral("u-1001");

// Two minutes before the seed corpus's matches start: inside the live-match widget's lead.
QDateTime startTime()
{
    return QDateTime(QDate(2026, 12, 6), QTime(19, 58), Qt::UTC);
}

// A desktop with at most one window, the game's, whose pixels cannot be read.
class GameDesktop final : public Desktop
{
public:
    bool open = false;
    bool focused = false;

    std::vector<TopLevelWindow> topLevelWindows() override
    {
        if (!open)
            return {};
        return {TopLevelWindow{gameWindow, "Dota 2", true}};
    }
    WindowState windowState(WindowId window) override
    {
        if (!open || window != gameWindow)
            return WindowState();
        return WindowState{"Dota 2", true};
    }
    WindowId foregroundWindow() override { return open && focused ? gameWindow : NoWindow; }
    std::optional<Rect> clientRect(WindowId window) override
    {
        if (!open || window != gameWindow)
            return std::nullopt;
        // Small: every tick in front of the game allocates a capture of this size first.
        return Rect{0, 0, 320, 180};
    }
    Monitor monitorOf(WindowId) override
    {
        return Monitor{MonitorStatus::Found, Rect{0, 0, 1920, 1080}};
    }
    CaptureStatus grabScreen(const Rect &, std::uint8_t *, std::size_t) override
    {
        return CaptureStatus::Failed;
    }
};

struct Fixture
{
    // The REST client reads its base address when it is made: a closed port, so that the
    // live-game request start() sends fails without reaching anything.
    static bool closedPlatform()
    {
        qputenv("API_BASE_URL", "http://127.0.0.1:9");
        qunsetenv("OVERLAY_TEST_MODE");
        return true;
    }

    bool platformClosed = closedPlatform();
    ApiClient api;
    WebSocketClient socket;
    GameDesktop *desktop = new GameDesktop;
    QDateTime now = startTime();
    std::unique_ptr<OverlayController> controller;

    Fixture()
    {
        OverlayController::Seams seams;
        seams.desktop.reset(desktop);
        seams.clock = [this] { return now; };
        // No timer of the controller fires during a run.
        seams.timeScale = 1000;
        controller = std::make_unique<OverlayController>(&api, &socket, std::move(seams));
        controller->initialize();
        controller->start();
    }
};

Fixture *fixture = nullptr;

QJsonObject object(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

void liveGameAnswer(const QJsonObject &answer)
{
    QMetaObject::invokeMethod(fixture->controller.get(), "handleUpcomingMatch",
                              Q_ARG(QJsonObject, answer));
}

void tick()
{
    QMetaObject::invokeMethod(fixture->controller.get(), "processState");
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
}

// As WebSocketClient::handleNotification emits a match notification.
void notification(const QString &type, const QJsonObject &metadata)
{
    emit fixture->socket.matchNotificationReceived(
        type, metadata.value(QLatin1String("matchId")).toString(),
        metadata.value(QLatin1String("matchGameId")).toString(),
        metadata.value(QLatin1String("tournamentId")).toString(), metadata);
}

void tournamentEvent(const QString &event, const QJsonObject &data)
{
    emit fixture->socket.tournamentUpdateReceived(
        event, data.value(QLatin1String("tournamentId")).toString(),
        data.value(QLatin1String("matchId")).toString(),
        data.value(QLatin1String("matchGameId")).toString(), data);
}

// As the launcher turns the dashboard's "match:ready" into the match to guide.
void dashboardMatch(const QVariantMap &map)
{
    MatchData match;
    match.matchId = map.value(QStringLiteral("matchId")).toString();
    match.lobbyName = map.value(QStringLiteral("lobbyName")).toString();
    match.userSide = map.value(QStringLiteral("playerSide")).toString();
    match.playerSide = match.userSide;
    match.slotNumber = map.value(QStringLiteral("slotNumber")).toInt();
    match.isCaptain = map.value(QStringLiteral("isCaptain")).toBool();
    match.receivedAt = fixture->now;
    match.isJoinedLobby = map.value(QStringLiteral("isJoinedLobby")).toBool();
    fixture->controller->handleMatchStart(match);
}

// "<word> <rest>": the word, and the rest after its space.
std::pair<QString, QByteArray> splitWord(const QByteArray &text)
{
    const qsizetype space = text.indexOf(' ');
    if (space < 0)
        return {QString::fromUtf8(text), QByteArray()};
    return {QString::fromUtf8(text.left(space)), text.mid(space + 1)};
}

void step(const QByteArray &line)
{
    if (line.isEmpty())
        return;
    const QByteArray argument = line.mid(2);
    OverlayController &controller = *fixture->controller;
    switch (line.at(0)) {
    case 'L':
        liveGameAnswer(object(argument));
        break;
    case 'N': {
        const auto [type, json] = splitWord(argument);
        notification(type, object(json));
        break;
    }
    case 'T': {
        const auto [event, json] = splitWord(argument);
        tournamentEvent(event, object(json));
        break;
    }
    case 'M':
        dashboardMatch(QJsonDocument::fromJson(argument).toVariant().toMap());
        break;
    case 'J':
        controller.handleLobbyJoined();
        break;
    case 'X':
        controller.handleLobbyLeft();
        break;
    case 'O': {
        const auto [side, slot] = splitWord(argument);
        controller.handleSlotOccupied(side, slot.trimmed().toInt());
        break;
    }
    case 'S':
        controller.handleGameStarted();
        break;
    case 'C':
        controller.handleGameCompleted();
        break;
    case 'G':
        fixture->desktop->open = argument.startsWith('1') || argument.startsWith('2');
        fixture->desktop->focused = argument.startsWith('2');
        break;
    case 'W':
        // Up to a day per step; the clock never goes back.
        fixture->now = fixture->now.addSecs(qBound(0, argument.trimmed().toInt(), 86400));
        break;
    case 'P':
        tick();
        break;
    default:
        break;
    }
}

// What holds after every step, whatever the platform sent.
void checkController()
{
    const OverlayController &controller = *fixture->controller;
    const OverlayState state = controller.state();
    FUZZ_EXPECT(state >= IDLE && state <= IN_GAME);
    // Every step past idle guides a match.
    if (state != IDLE)
        FUZZ_EXPECT(controller.matchData() != nullptr);
    // A match that has started is dropped, never kept waiting for the game window.
    const QJsonValue startedAt = controller.pendingMatch().value(QLatin1String("startedAt"));
    FUZZ_EXPECT(startedAt.isUndefined() || startedAt.isNull());
}

void startOver()
{
    fixture->now = startTime();
    fixture->desktop->open = false;
    fixture->desktop->focused = false;
    OverlayController &controller = *fixture->controller;
    controller.setCredentials(QStringLiteral("token"), userId, QStringLiteral("76561198000000001"));
    // An empty answer: no live game. It forgets the pending match and the tournament.
    liveGameAnswer(QJsonObject());
    controller.liveMatchWindow()->matchWidgetData()->clear();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::startGuiApplication();
    const fuzz::SetUpScope setUp;
    fixture = new Fixture;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    startOver();
    for (const QByteArray &line : fuzz::lines(data, size)) {
        step(line);
        checkController();
    }
    // What the input left behind goes now, within the input: libFuzzer looks for leaks in an
    // input whose allocations are not all freed by its end. The windows' events (shown, hidden,
    // repaint requests) are delivered as the event loop would; no timer is due.
    startOver();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
