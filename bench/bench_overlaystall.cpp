// How long the GUI thread is kept from its other work while the overlay runs its lobby flow: a
// probe timer asks to run every millisecond, and its lateness is the stall. Each case runs the
// real controller for 100 ticks at 1920 x 1080 with the real detectors on synthetic game screens
// (the capture is a copy of the frame by a scripted desktop); the baseline is the same event loop
// with the controller stopped. Ticks come ten times as fast as in the product, and its clock runs
// twelve times as fast, so every tick is a detection tick.
//     QT_QPA_PLATFORM=offscreen build/bench/bench_overlaystall 2>/dev/null
#include "ApiClient.h"
#include "ControllerHarness.h"
#include "OverlayController.h"
#include "SyntheticScreen.h"
#include "WebSocketClient.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

constexpr double timeScale = 0.1;
constexpr int ticks = 100;

enum class Flow { Stopped, AcceptingInvitation, JoiningSlot, WaitingForPlayers };

MatchData record(bool joinedLobby, int slotNumber)
{
    MatchData match;
    match.matchId = QStringLiteral("m-1");
    match.userSide = QStringLiteral("Radiant");
    match.playerSide = match.userSide;
    match.slotNumber = slotNumber;
    match.receivedAt = QDateTime::currentDateTime();
    match.isJoinedLobby = joinedLobby;
    return match;
}

cv::Mat frameFor(Flow flow)
{
    const SyntheticScreen screen(cv::Size(1920, 1080));
    SyntheticScreen::SlotMask taken{};
    taken[0] = taken[1] = taken[5] = true;
    return flow == Flow::AcceptingInvitation ? screen.renderInvitation() : screen.renderLobby(taken);
}

void stall(benchmark::State &state, Flow flow)
{
    const cv::Mat frame = frameFor(flow);
    for (auto _ : state) {
        ApiClient api;
        WebSocketClient socket;
        auto *desktop = new GameDesktop;
        desktop->open = true;
        desktop->frame = frame;
        QElapsedTimer clock;
        clock.start();
        const QDateTime start = QDateTime::currentDateTime();
        OverlayController::Seams seams;
        seams.desktop.reset(desktop);
        seams.clock = [start, &clock] { return start.addMSecs(clock.elapsed() * 12); };
        seams.timeScale = timeScale;
        OverlayController controller(&api, &socket, std::move(seams));
        controller.initialize();
        controller.setCredentials(QStringLiteral("token"), QStringLiteral("u-7"), QString());
        if (flow != Flow::Stopped) {
            controller.start();
            controller.handleMatchStart(flow == Flow::AcceptingInvitation ? record(false, -1)
                                        : flow == Flow::JoiningSlot       ? record(true, -1)
                                                                          : record(true, 0));
        }

        std::vector<qint64> lateness;
        qint64 worst = -1;
        qint64 worstAt = 0;
        QElapsedTimer sinceStart;
        QElapsedTimer sinceProbe;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            lateness.push_back(std::max<qint64>(0, sinceProbe.nsecsElapsed() - 1000000));
            if (lateness.back() > worst) {
                worst = lateness.back();
                worstAt = sinceStart.elapsed();
            }
            sinceProbe.restart();
        });
        QEventLoop loop;
        QTimer::singleShot(int(ticks * OverlayController::TickIntervalMs * timeScale), &loop,
                           &QEventLoop::quit);
        sinceStart.start();
        sinceProbe.start();
        probe.start(1);
        const int grabsBefore = desktop->grabs;
        loop.exec();
        probe.stop();

        std::sort(lateness.begin(), lateness.end());
        const auto at = [&](double q) {
            return lateness.empty() ? 0.0
                                    : lateness[std::size_t(q * double(lateness.size() - 1))] / 1e6;
        };
        state.counters["max_stall_ms"] = at(1.0);
        state.counters["p99_stall_ms"] = at(0.99);
        state.counters["max_at_ms"] = double(worstAt); // since the first tick
        state.counters["median_ms"] = at(0.5);
        state.counters["captures"] = desktop->grabs - grabsBefore;
        state.counters["state"] = int(controller.state());
        controller.stop();
    }
}

} // namespace

BENCHMARK_CAPTURE(stall, baseline_stopped, Flow::Stopped)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(stall, accepting_invitation, Flow::AcceptingInvitation)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(stall, joining_slot, Flow::JoiningSlot)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(stall, waiting_for_players, Flow::WaitingForPlayers)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
