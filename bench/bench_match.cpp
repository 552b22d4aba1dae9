// The launcher's start-up to its splash and its first window, against the program's first log
// line. A whole match on the real desktop, three figures with a baseline each: the latency from the
// game's new screen on the X server to the overlay's guidance seen over it, through the real
// launcher binary, the platform simulator and the fake game, against the same poll seeing the
// game's own change; the launcher's CPU time while it waits for the invitation, against the same
// launcher idle before the match; the GUI thread's longest stall in an overlay controller in this
// process over the real X11 desktop, per lobby state, against the same probe with the controller
// stopped. Needs a 1920 x 1080 desktop with a compositing manager; about four minutes for latency
// and CPU, three for the stall. The idle part, not run unless asked for, watches the signed-in
// launcher with its dashboard put away in the tray (an hour, for the figure that counts). On the
// private desktop of scripts/lib/desktop.sh:
//     build/bench/bench_match [--part startup,latency,cpu,stall,idle] [--seconds 60]
//         [--rounds 20] [--stall-seconds 15] [--idle-seconds 3600] [--starts 5]
//         [--launcher-log launcher.log]
//         2>match.log
#include "ApiClient.h"
#include "Desktop.h"
#include "MatchData.h"
#include "MatchRun.h"
#include "OverlayController.h"
#include "PlatformSimulator.h"
#include "SyntheticScreen.h"
#include "WebSocketClient.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QRandomGenerator>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int roundTimeoutMs = 5000;
// Below this share of differing pixels an area shows what the game draws; the hand at ACCEPT
// covers more than this above it (the share a look at the whole match uses).
constexpr double showsGameBelow = 0.05;
constexpr double handAbove = 0.2;
constexpr double stallGoalMs = 16;
// The first second after a state is entered (its panels appear, pictures load) is kept apart
// from the detections that follow.
constexpr qint64 entryMs = 1000;

void progress(const QString &text)
{
    std::fprintf(stderr, "bench_match: %s\n", qPrintable(text));
    std::fflush(stderr);
}

// Tells why a run stops, where it stops.
bool said(bool ok, const char *failure)
{
    if (!ok)
        progress(QLatin1String(failure));
    return ok;
}

void sayRow(const QStringList &cells)
{
    QString line = cells.value(0).leftJustified(40);
    for (qsizetype i = 1; i < cells.size(); ++i)
        line += QLatin1Char(' ') + cells.at(i).rightJustified(9);
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void sayTitle(const char *title, const char *columns)
{
    std::printf("\n%s\n", title);
    sayRow(QString::fromLatin1(columns).split(QLatin1Char('|')));
}

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString ms(double value)
{
    return value < 0 ? QStringLiteral("-") : fixed(value, value < 100 ? 1 : 0);
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

// q = 1 is the worst.
double quantile(std::vector<double> values, double q)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::size_t(q * double(values.size() - 1) + 0.5)];
}

bool show(FakeGame &game, const QString &screen)
{
    return game.command(QStringLiteral("screen ") + screen) == QLatin1String("ok");
}

int countOf(const LauncherProcess &launcher, const QString &text)
{
    return int(launcher.texts().count(text));
}

// Latency

// What the game draws in `area`. Only the area is read back from the X server, so a look stays
// cheap and the poll's resolution is mostly its sleep.
struct AreaWatch
{
    QRect area;
    QImage game;

    double drawnShare() const
    {
        const QImage screen =
            QGuiApplication::primaryScreen()
                ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        return MatchRun::drawnShare(screen, game, screen.rect());
    }
};

AreaWatch onBackground(const QRect &area)
{
    const QSize size = QGuiApplication::primaryScreen()->geometry().size();
    const cv::Mat frame = SyntheticScreen(cv::Size(size.width(), size.height())).renderBackground();
    const QImage image(frame.data, frame.cols, frame.rows, int(frame.step), QImage::Format_BGR888);
    return {area, image.copy(area).convertToFormat(QImage::Format_RGB32)};
}

// The hand and the frame differ only in what is shown and looked at, so that their rounds run
// the same way.
struct LatencyCase
{
    QString name;
    QString screen;
    AreaWatch onScreen;
    double drawnAbove;
    QString goneLine; // the launcher's log line when the guidance goes
    AreaWatch bare;
    std::vector<double> game{};  // the game's own change seen (baseline)
    std::vector<double> drawn{}; // the guidance seen
    int misses = 0;

    void report() const
    {
        const double median = quantile(drawn, 0.5);
        const double worst = quantile(drawn, 1);
        sayRow({name, ms(quantile(game, 0.5)), ms(quantile(game, 1)), ms(median),
                misses > 0 ? QStringLiteral("%1 missed").arg(misses) : ms(worst),
                verdict(misses == 0 && median >= 0 && median <= 600 && worst <= 1100)});
    }
};

// Polls every ~5 ms until the game's screen shows there and then the overlay draws more than
// `drawnAbove` of it. Times are from `since`.
void watchFor(LatencyCase &figures, const QElapsedTimer &since)
{
    double gameMs = -1;
    double drawnMs = -1;
    while (since.elapsed() < roundTimeoutMs) {
        // The launcher's log is drained between polls, so it never waits on the pipe.
        QCoreApplication::processEvents();
        const double share = figures.onScreen.drawnShare();
        const double at = double(since.nsecsElapsed()) / 1e6;
        if (gameMs < 0 && share < showsGameBelow)
            gameMs = at;
        if (gameMs >= 0 && share > figures.drawnAbove) {
            drawnMs = at;
            break;
        }
        QTest::qWait(5);
    }
    if (gameMs >= 0)
        figures.game.push_back(gameMs);
    if (drawnMs >= 0)
        figures.drawn.push_back(drawnMs);
    figures.misses += drawnMs < 0;
    progress(QStringLiteral("%1: game %2 ms, guidance %3 ms")
                 .arg(figures.name, ms(gameMs), ms(drawnMs)));
}

// A round starts from the main menu with the guidance gone, so that its first polls see the
// game's own change before anything is drawn over it.
bool clearScreen(MatchRun &run, const LatencyCase &figures)
{
    const int before = countOf(run.launcher(), figures.goneLine);
    return said(show(run.game(), QStringLiteral("background"))
                    && QTest::qWaitFor(
                        [&] { return countOf(run.launcher(), figures.goneLine) > before; }, 10000)
                    && QTest::qWaitFor(
                        [&] { return figures.bare.drawnShare() < showsGameBelow; }, 5000),
                "the guidance did not go with the screen");
}

// Each round waits at random first, so that the new screen falls anywhere in the launcher's
// 500 ms tick; its clock starts at the fake game's answer that the screen is on the X server.
bool measureRounds(MatchRun &run, int rounds, LatencyCase &figures)
{
    for (int round = 0; round < rounds; ++round) {
        QTest::qWait(200 + int(QRandomGenerator::global()->bounded(500)));
        if (!show(run.game(), figures.screen))
            return false;
        QElapsedTimer since;
        since.start();
        watchFor(figures, since);
        if (!clearScreen(run, figures))
            return false;
    }
    return true;
}

// From WAITING_FOR_INVITATION: the invitation pops up, and the hand at ACCEPT is looked for.
LatencyCase handCase(MatchRun &run)
{
    const QRect area(run.driver().acceptRect().center() - QPoint(25, 10), QSize(64, 64));
    return {QStringLiteral("invitation -> hand"), QStringLiteral("invitation"),
            {area, run.invitationFrame().copy(area)}, handAbove,
            QStringLiteral("State transition: 3 -> 2"), onBackground(area)};
}

// The frame pulses from full to 30 % opacity and back over 1.6 s: the faintest share seen over a
// whole pulse sets the threshold, so that the frame counts as drawn in any phase.
double frameThreshold(const AreaWatch &band)
{
    double faintest = 1;
    QElapsedTimer pulse;
    pulse.start();
    while (pulse.elapsed() < 1800) {
        faintest = std::min(faintest, band.drawnShare());
        QTest::qWait(20);
    }
    progress(QStringLiteral("slot frame drawn on %1 of its band at the faintest")
                 .arg(fixed(faintest, 2)));
    return std::max(0.2, faintest / 2);
}

// In JOINING_SLOT: the lobby again after the main menu, and the frame is looked for along its
// top edge, clear of the rounded corners.
LatencyCase boxCase(MatchRun &run)
{
    (void)QTest::qWaitFor([&] { return !run.lastBox().isNull(); }, 5000);
    QRect box = run.lastBox();
    for (int seat : box.isNull() ? run.driver().slotsToTake() : QList<int>())
        box |= run.driver().slotRect(seat);
    const QRect band(box.left() + 8, box.top(), box.width() - 16, 4);
    const AreaWatch onLobby{band, run.lobbyFrame(QStringLiteral("0000000000")).copy(band)};
    QTest::qWait(600);
    return {QStringLiteral("lobby -> slot frame"), QStringLiteral("lobby 0000000000"), onLobby,
            frameThreshold(onLobby), QStringLiteral("Bounding box cleared"), onBackground(band)};
}

// From WAITING_FOR_INVITATION into JOINING_SLOT through ACCEPT, as the player does.
bool joinLobby(MatchRun &run)
{
    const QString invited = QStringLiteral("State transition: 2 -> 3");
    const int before = countOf(run.launcher(), invited);
    const bool shown = run.driver().invite()
        && QTest::qWaitFor([&] { return countOf(run.launcher(), invited) > before; }, 10000);
    QTest::qWait(300);
    return said(shown && MatchRun::clickAt(run.driver().acceptRect().center())
                    && run.driver().waitForAccept(5000) && run.waitForTransition(3, 4),
                "the launcher did not reach JOINING_SLOT");
}

bool measureLatency(MatchRun &run, int rounds)
{
    sayTitle("Latency, ms from the game's \"ok\" (its pixels on the X server) to the poll that "
             "sees it; goal: median <= 600, worst <= 1100",
             "case|game med|game max|median|worst|goal");
    LatencyCase hand = handCase(run);
    const bool handDone = measureRounds(run, rounds, hand);
    hand.report();
    if (!handDone || !joinLobby(run))
        return false;
    LatencyCase box = boxCase(run);
    const bool boxDone = clearScreen(run, box) && measureRounds(run, rounds, box);
    box.report();
    return boxDone;
}

// The launcher's CPU time

// utime + stime from /proc/<pid>/stat, in seconds. The command name may hold spaces and
// parentheses, so the fields are counted from the last ')'.
double cpuSeconds(qint64 pid)
{
    static const double ticksPerSecond = double(sysconf(_SC_CLK_TCK));
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).simplified().split(' ');
    return fields.size() > 12
        ? double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / ticksPerSecond
        : 0;
}

// The processes a process started; each thread keeps its own list.
QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> children;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile list(tasks.filePath(task + QStringLiteral("/children")));
        if (!list.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &child : list.readAll().simplified().split(' ')) {
            if (!child.isEmpty())
                children << child.toLongLong();
        }
    }
    return children;
}

// The launcher with its web engine's helper processes.
double treeCpuSeconds(qint64 pid)
{
    double seconds = cpuSeconds(pid);
    for (const qint64 child : childrenOf(pid))
        seconds += treeCpuSeconds(child);
    return seconds;
}

// The event loop runs meanwhile: the launcher's log is drained, so it never waits on the pipe.
void measureCpu(const char *name, qint64 pid, int seconds, bool judged)
{
    progress(QStringLiteral("CPU: %1 for %2 s").arg(QLatin1String(name)).arg(seconds));
    const double before = cpuSeconds(pid);
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(seconds * 1000);
    const double percent = 100 * (cpuSeconds(pid) - before) / (double(wall.nsecsElapsed()) / 1e9);
    sayRow({QLatin1String(name), fixed(double(wall.elapsed()) / 1000, 1), fixed(percent, 2),
            judged ? verdict(percent <= 5) : QString()});
}

// The launcher run

struct Options
{
    bool latency = true;
    bool cpu = true;
    bool stall = true;
    bool idle = false;
    bool startup = true;
    int starts = 5;
    int seconds = 60;
    int idleSeconds = 3600;
    int rounds = 20;
    int stallSeconds = 15;
    QString launcherLog; // where the launcher's whole log is written, if anywhere
};

bool playLauncher(const Options &options, MatchRun &run)
{
    if (options.cpu)
        sayTitle("Launcher CPU, % of one core (utime + stime of its process); goal: "
                 "WAITING_FOR_INVITATION <= 5 %",
                 "case|seconds|own|goal");
    if (!said(run.startSignedIn(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234")),
              "the launcher did not start signed in"))
        return false;
    const qint64 pid = run.launcher().processId();
    if (options.cpu) {
        QTest::qWait(5000); // the dashboard's page and the socket settle
        measureCpu("IDLE, no game window", pid, options.seconds, false);
    }
    if (!said(run.driver().announce(MatchDriver::Setup())
                  && run.launcher().waitForText(QStringLiteral("LiveMatchWindow shown"))
                  && run.driver().openGame() && run.waitForTransition(0, 2),
              "the launcher did not reach WAITING_FOR_INVITATION"))
        return false;
    if (options.cpu) {
        QTest::qWait(3000); // the state's panel is shown, the first captures are made
        measureCpu("WAITING_FOR_INVITATION, 1920x1080 game", pid, options.seconds, true);
    }
    return !options.latency || measureLatency(run, options.rounds);
}

bool runLauncher(const Options &options)
{
    PlatformSimulator simulator;
    if (!said(simulator.start(), "the platform simulator did not start"))
        return false;
    MatchRun run(&simulator);
    const bool ok = playLauncher(options, run);
    run.game().stop();
    run.launcher().stop();
    QFile log(options.launcherLog);
    if (!options.launcherLog.isEmpty() && log.open(QIODevice::WriteOnly))
        log.write(run.launcher().stderrText().toUtf8());
    return said(ok, "the launcher run stopped early");
}

// Both CPU figures of the launcher, alone and with its web engine's helper processes, over a
// watch of the given length.
void measureIdle(const char *name, qint64 pid, int seconds, bool judged)
{
    progress(QStringLiteral("idle: %1 for %2 s").arg(QLatin1String(name)).arg(seconds));
    const double ownBefore = cpuSeconds(pid);
    const double treeBefore = treeCpuSeconds(pid);
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(seconds * 1000);
    const double elapsed = double(wall.nsecsElapsed()) / 1e9;
    const double tree = 100 * (treeCpuSeconds(pid) - treeBefore) / elapsed;
    sayRow({QLatin1String(name), fixed(elapsed, 0), fixed(100 * (cpuSeconds(pid) - ownBefore) / elapsed, 2),
            fixed(tree, 2), judged ? verdict(tree <= 0.5) : QString()});
}

// Signed in with the dashboard put away in the tray, the launcher should cost next to nothing;
// the baseline is the same launcher with the dashboard shown, for at most a minute. The first
// minutes after hiding say little: the web engine settles (its timers in a hidden page are
// throttled further after five), so the figure that counts is the hour's.
bool runIdle(int seconds)
{
    sayTitle("Idle, % of one core; goal: dashboard hidden, the launcher with its web engine "
             "<= 0.5 %",
             "case|seconds|own|with the web engine|goal");
    PlatformSimulator simulator;
    if (!said(simulator.start(), "the platform simulator did not start"))
        return false;
    MatchRun run(&simulator);
    if (!said(run.startSignedIn(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234")),
              "the launcher did not start signed in"))
        return false;
    const qint64 pid = run.launcher().processId();
    QTest::qWait(5000); // the dashboard's page loads
    measureIdle("dashboard shown", pid, std::min(seconds, 60), false);
    // The window manager's close key, as a real key press: openbox ignores synthetic ones.
    const QString close = QStringLiteral(
        "w=$(xdotool search --onlyvisible --name '^Corvanta$' | head -n 1)"
        " && xdotool windowactivate --sync $w && xdotool key alt+F4");
    if (!said(QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), close}) == 0,
              "the dashboard could not be closed"))
        return false;
    QTest::qWait(5000);
    measureIdle("dashboard hidden in the tray", pid, seconds, true);
    run.launcher().stop();
    return true;
}

// Start-up: from the process's start to its splash and to its first window, the login window of a
// launcher without a session. The baseline is the same program's first log line: loading it and
// starting the toolkit, which the launcher's own start-up comes after.
bool runStartup(int starts)
{
    sayTitle("Start-up without a session, ms from the process's start; baseline: the program "
             "loaded and the toolkit started",
             "to|median|slowest");
    const QString splashCreated = QStringLiteral("SplashScreen created");
    const QString loginShown = QStringLiteral("No session found, showing login...");
    std::vector<double> firstLine, splash, login;
    for (int start = 0; start < starts; ++start) {
        LauncherProcess launcher;
        launcher.setVariable(QStringLiteral("API_BASE_URL"), QStringLiteral("http://127.0.0.1:9"));
        if (!said(launcher.start() && launcher.waitForText(loginShown),
                  "the launcher did not show its login window"))
            return false;
        const auto arrived = [&launcher](const QString &text) {
            for (const LauncherProcess::Line &line : launcher.lines()) {
                if (line.log.text == text)
                    return double(line.arrivedMs);
            }
            return -1.0;
        };
        firstLine.push_back(double(launcher.lines().constFirst().arrivedMs));
        splash.push_back(arrived(splashCreated));
        login.push_back(arrived(loginShown));
        launcher.stop();
    }
    const auto row = [](const char *name, const std::vector<double> &values) {
        sayRow({QLatin1String(name), ms(quantile(values, 0.5)), ms(quantile(values, 1))});
    };
    row("baseline: the first log line", firstLine);
    row("the splash created", splash);
    row("the login window (the splash is 2 s)", login);
    return true;
}

// The GUI thread's stall, in this process

// A timer asks to run every millisecond; how late it comes is how long the GUI thread was kept
// from it. It starts right after the state is entered.
class StallProbe : public QObject
{
public:
    StallProbe()
    {
        m_sinceStart.start();
        m_sinceLast.start();
        startTimer(1, Qt::PreciseTimer);
    }

    QStringList row(const QString &name, bool judged) const
    {
        const double worstMs = std::max(0.0, quantile(m_steady, 1));
        const QString goal = verdict(m_entryWorstMs <= stallGoalMs) + QStringLiteral(", ")
            + verdict(worstMs <= stallGoalMs);
        return {name, fixed(m_entryWorstMs, 1), fixed(worstMs, 1),
                fixed(quantile(m_steady, 0.99), 2), QString::number(m_samples),
                judged ? goal : QString()};
    }

protected:
    void timerEvent(QTimerEvent *) override
    {
        const double late = std::max(0.0, double(m_sinceLast.nsecsElapsed() - 1000000) / 1e6);
        ++m_samples;
        if (m_sinceStart.elapsed() < entryMs)
            m_entryWorstMs = std::max(m_entryWorstMs, late);
        else
            m_steady.push_back(late);
        m_sinceLast.restart();
    }

private:
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceLast;
    double m_entryWorstMs = 0;
    std::vector<double> m_steady; // after the first second
    int m_samples = 0;
};

void probeStall(const QString &name, int seconds, bool judged = true)
{
    progress(QStringLiteral("stall: %1 for %2 s").arg(name).arg(seconds));
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    StallProbe probe;
    loop.exec();
    sayRow(probe.row(name, judged));
}

bool reach(const OverlayController &controller, OverlayState state)
{
    if (QTest::qWaitFor([&] { return controller.state() == state; }, 10000))
        return true;
    progress(QStringLiteral("the controller stayed in %1, not %2")
                 .arg(overlayStateName(controller.state()), overlayStateName(state)));
    return false;
}

// One match through the four lobby states, ~`seconds` in each; `pass` tells the first match of
// the process, which loads and sets up what the next ones reuse, from a later one.
bool playLobbyStates(FakeGame &game, OverlayController &controller, int seconds,
                     const QString &pass)
{
    MatchData match;
    match.matchId = QStringLiteral("m-1");
    match.userSide = QStringLiteral("Radiant");
    match.playerSide = match.userSide;
    match.receivedAt = QDateTime::currentDateTime();
    // The player sits in Radiant's third slot, on the screen and in the dashboard's report.
    const std::pair<const char *, OverlayState> steps[] = {
        {"background", WAITING_FOR_INVITATION}, {"invitation", ACCEPTING_INVITATION},
        {"lobby 0000000000", JOINING_SLOT}, {"lobby 0010000000", WAITING_FOR_PLAYERS}};
    for (const auto &[screen, state] : steps) {
        if (!show(game, QLatin1String(screen)))
            return false;
        if (state == WAITING_FOR_INVITATION)
            controller.handleMatchStart(match);
        if (state == WAITING_FOR_PLAYERS)
            controller.handleSlotOccupied(QStringLiteral("Radiant"), 2);
        if (!reach(controller, state))
            return false;
        probeStall(overlayStateName(state) + pass, seconds);
    }
    controller.handleGameCompleted();
    return reach(controller, IDLE);
}

bool playStall(int seconds, FakeGame &game)
{
    // Live-game requests fail at once; the socket is never opened.
    qputenv("API_BASE_URL", "http://127.0.0.1:9");
    ApiClient api;
    WebSocketClient socket;
    OverlayController::Seams seams;
    seams.desktop = createDesktop();
    seams.timeScale = 1.0;
    OverlayController controller(&api, &socket, std::move(seams));
    controller.initialize();
    controller.setCredentials(QStringLiteral("token"), QStringLiteral("u-7"), QString());
    QTest::qWait(1000);
    probeStall(QStringLiteral("baseline, controller stopped"), seconds, false);
    // The launcher starts its controller, and shows the overlay, long before a match.
    controller.start();
    probeStall(QStringLiteral("IDLE, just started (no detection)"), seconds, false);
    const bool ok = playLobbyStates(game, controller, seconds, QString())
        && playLobbyStates(game, controller, seconds, QStringLiteral(", next match"));
    controller.stop();
    QTest::qWait(500);
    if (ok)
        probeStall(QStringLiteral("baseline, controller stopped again"), seconds, false);
    return ok;
}

bool runStall(int seconds)
{
    sayTitle("GUI-thread stall in this process (1 ms probe), ms; \"entry\" is the first second "
             "in the state, the rest is after it; goal: <= 16 ms (entry, rest)",
             "case|entry|worst|p99|probes|goal");
    FakeGame game;
    const bool ok = said(game.start({QStringLiteral("--fullscreen")})
                             && show(game, QStringLiteral("background")),
                         "the fake game did not start")
        && playStall(seconds, game);
    game.stop();
    return said(ok, "the controller did not reach every state");
}

Options parseOptions(const QCoreApplication &app)
{
    Options options;
    const std::pair<const char *, int *> counts[] = {
        {"seconds", &options.seconds},            // each CPU window
        {"rounds", &options.rounds},              // each latency case
        {"stall-seconds", &options.stallSeconds}, // each stall case
        {"idle-seconds", &options.idleSeconds},   // the idle watch
        {"starts", &options.starts},              // the start-up's starts
    };
    QCommandLineParser parser;
    parser.addHelpOption();
    for (const auto &[name, value] : counts)
        parser.addOption({QLatin1String(name), QStringLiteral("default %1").arg(*value),
                          QStringLiteral("N"), QString::number(*value)});
    parser.addOption({QStringLiteral("part"),
                      QStringLiteral("default startup,latency,cpu,stall; also idle"),
                      QStringLiteral("parts"), QStringLiteral("startup,latency,cpu,stall")});
    parser.addOption({QStringLiteral("launcher-log"), QStringLiteral("the launcher's whole log"),
                      QStringLiteral("file")});
    parser.process(app);
    for (const auto &[name, value] : counts)
        *value = std::max(1, parser.value(QLatin1String(name)).toInt());
    const QStringList parts = parser.value(QStringLiteral("part")).split(QLatin1Char(','));
    options.latency = parts.contains(QLatin1String("latency"));
    options.cpu = parts.contains(QLatin1String("cpu"));
    options.stall = parts.contains(QLatin1String("stall"));
    options.idle = parts.contains(QLatin1String("idle"));
    options.startup = parts.contains(QLatin1String("startup"));
    options.launcherLog = parser.value(QStringLiteral("launcher-log"));
    return options;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const Options options = parseOptions(app);
    if (!qEnvironmentVariableIsSet("DISPLAY")) {
        progress(QStringLiteral("needs DISPLAY: run it on the desktop of scripts/lib/desktop.sh"));
        return 2;
    }
    // Other programs on this small machine move every figure here.
    QFile load(QStringLiteral("/proc/loadavg"));
    const QByteArray loadAverage = load.open(QIODevice::ReadOnly) ? load.readAll() : "?";
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    std::printf("bench_match %s, screen %dx%d, %ld CPUs, load average %s\n",
                qPrintable(QDateTime::currentDateTime().toString(Qt::ISODate)), screen.width(),
                screen.height(), sysconf(_SC_NPROCESSORS_ONLN),
                loadAverage.split(' ').mid(0, 3).join(' ').constData());
    bool ok = true;
    if (options.startup)
        ok = runStartup(options.starts);
    if (options.latency || options.cpu)
        ok = runLauncher(options) && ok;
    if (options.stall)
        ok = runStall(options.stallSeconds) && ok;
    if (options.idle)
        ok = runIdle(options.idleSeconds) && ok;
    return ok ? 0 : 1;
}
