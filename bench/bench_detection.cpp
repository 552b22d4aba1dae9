// Detection on synthetic game screens of every common shape, with the interface drawn in
// proportion to the screen's height and at the pictures' own size, each against the fixed-size
// search in the same run: the pictures matched at their own size only, in the same regions, at
// half resolution.
#include "InvitationDetector.h"
#include "LobbyDetector.h"
#include "SyntheticScreen.h"
#include "TemplateMatcher.h"

#include <QtGlobal>

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include <array>
#include <cstdio>

namespace {

const std::array<cv::Size, 7> resolutions = {cv::Size(1280, 720),  cv::Size(1920, 1080),
                                             cv::Size(1920, 1200), cv::Size(2560, 1080),
                                             cv::Size(2560, 1440), cv::Size(3440, 1440),
                                             cv::Size(3840, 2160)};
// Slots 0, 1, 5 and 8 taken.
const SyntheticScreen::SlotMask occupied = {true, true, false, false, false,
                                            true, false, false, true, false};

// range(0): the resolution; range(1): 0 the interface in proportion to the height, 1 at its own size.
SyntheticScreen screenFor(const benchmark::State &state)
{
    const cv::Size size = resolutions[size_t(state.range(0))];
    SyntheticScreen screen(size);
    screen.setScale(state.range(1) == 0 ? size.height / 1080.0 : 1.0);
    return screen;
}

cv::Mat templ(const char *name)
{
    return loadTemplateImage(QStringLiteral(":/templates/") + QLatin1String(name));
}

void invitationDetection(benchmark::State &state)
{
    const SyntheticScreen screen = screenFor(state);
    const cv::Mat frame = screen.renderInvitation();
    InvitationDetector detector;
    detector.loadTemplates(QStringLiteral(":/templates"));
    InvitationDetector::Invitation found;
    for (auto _ : state) {
        found = detector.detect(frame);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found.visible && found.acceptButton.x >= 0;
    state.counters["off_px"] = found.acceptButton.x >= 0
        ? cv::norm(found.acceptButton - screen.acceptCentre())
        : -1;
}

void invitationFixedSize(benchmark::State &state)
{
    const SyntheticScreen screen = screenFor(state);
    const cv::Mat frame = screen.renderInvitation();
    const cv::Mat popup = templ("invitation_popup.png");
    const cv::Mat accept = templ("accept_button.png");
    const cv::Mat region = frame(InvitationDetector::searchRegion(frame.size()));
    bool found = false;
    for (auto _ : state) {
        found = findTemplate(region, popup, 0.65, 0.5).center.x >= 0
            && findTemplate(region, accept, 0.7, 0.5).center.x >= 0;
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
}

void lobbyDetection(benchmark::State &state)
{
    const cv::Mat frame = screenFor(state).renderLobby(occupied);
    LobbyDetector detector;
    detector.loadTemplates(QStringLiteral(":/templates"));
    int count = -1;
    for (auto _ : state) {
        count = detector.isInLobby(frame) ? detector.countOccupiedSlots(frame) : -1;
        benchmark::DoNotOptimize(count);
    }
    state.counters["occupied"] = count;
}

void lobbyFixedSize(benchmark::State &state)
{
    const SyntheticScreen screen = screenFor(state);
    const cv::Mat frame = screen.renderLobby(occupied);
    const cv::Mat header = templ("lobby_header.png");
    const cv::Mat coach = templ("lobby_coach_header.png");
    const cv::Mat empty = templ("slot_empty.png");
    const int half = frame.cols / 2;
    const cv::Mat top = frame(cv::Rect(frame.cols - half, 0, half, int(frame.rows * 0.3)));
    const cv::Mat upper = frame(cv::Rect(frame.cols - half, 0, half, int(frame.rows * 0.6)));
    const SyntheticScreen::SlotRects places = screen.slotRects();
    int count = -1;
    for (auto _ : state) {
        count = -1;
        if (findTemplate(top, header, 0.7, 0.5).center.x >= 0
            && findTemplate(upper, coach, 0.7, 0.5).center.x >= 0) {
            count = 0;
            for (const cv::Rect &slot : places)
                count += findTemplate(frame(slot), empty, 0.25, 0.5).confidence < 0.25;
        }
        benchmark::DoNotOptimize(count);
    }
    state.counters["occupied"] = count;
}

void screensArgs(benchmark::internal::Benchmark *benchmark)
{
    for (int i = 0; i < int(resolutions.size()); ++i) {
        benchmark->Args({i, 0});
        if (resolutions[size_t(i)].height >= 1080 && resolutions[size_t(i)].height != 1080)
            benchmark->Args({i, 1});
    }
    benchmark->ArgNames({"resolution", "own_size"})->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(invitationDetection)->Apply(screensArgs);
BENCHMARK(invitationFixedSize)->Apply(screensArgs);
BENCHMARK(lobbyDetection)->Apply(screensArgs);
BENCHMARK(lobbyFixedSize)->Apply(screensArgs);

int main(int argc, char **argv)
{
    // The detectors log every detection; a benchmark's loop would bury its figures under them.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    std::printf("resolution index: 0 = 1280x720, 1 = 1920x1080, 2 = 1920x1200, 3 = 2560x1080, "
                "4 = 2560x1440, 5 = 3440x1440, 6 = 3840x2160\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
