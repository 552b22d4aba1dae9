// Detection on synthetic game screens at four resolutions, each against the straightforward
// pipeline in the same run: the whole frame in grey at full resolution, matched against the
// template at its own size.
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

const std::array<cv::Size, 4> resolutions = {cv::Size(1280, 720), cv::Size(1920, 1080),
                                             cv::Size(2560, 1440), cv::Size(3840, 2160)};
// Slots 0, 1, 5 and 8 taken.
const SyntheticScreen::SlotMask occupied = {true, true, false, false, false,
                                            true, false, false, true, false};

cv::Size resolution(const benchmark::State &state)
{
    return resolutions[size_t(state.range(0))];
}

cv::Mat templ(const char *name)
{
    return loadTemplateImage(QStringLiteral(":/templates/") + QLatin1String(name));
}

// Full frame, full resolution: the pipeline without the regions and the halving.
double naiveBest(const cv::Mat &grey, const cv::Mat &picture, cv::Point *where = nullptr)
{
    if (grey.cols < picture.cols || grey.rows < picture.rows)
        return 0.0;
    cv::Mat scores;
    cv::matchTemplate(grey, picture, scores, cv::TM_CCOEFF_NORMED);
    double best = 0.0;
    cv::minMaxLoc(scores, nullptr, &best, nullptr, where);
    return best;
}

void invitationDetection(benchmark::State &state)
{
    const cv::Mat frame = SyntheticScreen(resolution(state)).renderInvitation();
    InvitationDetector detector;
    detector.loadTemplates(QStringLiteral(":/templates"));
    bool found = false;
    for (auto _ : state) {
        found = detector.detectInvitation(frame) && detector.findAcceptButton(frame).x >= 0;
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
}

void invitationNaive(benchmark::State &state)
{
    const cv::Mat frame = SyntheticScreen(resolution(state)).renderInvitation();
    const cv::Mat popup = templ("invitation_popup.png");
    const cv::Mat accept = templ("accept_button.png");
    bool found = false;
    for (auto _ : state) {
        cv::Mat grey;
        cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
        found = naiveBest(grey, popup) >= 0.65 && naiveBest(grey, accept) >= 0.7;
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
}

void lobbyDetection(benchmark::State &state)
{
    const cv::Mat frame = SyntheticScreen(resolution(state)).renderLobby(occupied);
    LobbyDetector detector;
    detector.loadTemplates(QStringLiteral(":/templates"));
    int count = -1;
    for (auto _ : state) {
        count = detector.isInLobby(frame) ? detector.countOccupiedSlots(frame) : -1;
        benchmark::DoNotOptimize(count);
    }
    state.counters["occupied"] = count;
}

void lobbyNaive(benchmark::State &state)
{
    const SyntheticScreen screen(resolution(state));
    const cv::Mat frame = screen.renderLobby(occupied);
    const cv::Mat header = templ("lobby_header.png");
    const cv::Mat coach = templ("lobby_coach_header.png");
    const cv::Mat empty = templ("slot_empty.png");
    const SyntheticScreen::SlotRects places = screen.slotRects();
    int count = -1;
    for (auto _ : state) {
        cv::Mat grey;
        cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
        count = -1;
        if (naiveBest(grey, header) >= 0.7 && naiveBest(grey, coach) >= 0.7) {
            count = 0;
            for (const cv::Rect &slot : places) {
                cv::Mat fitted = empty;
                if (slot.height < empty.rows || slot.width < empty.cols) {
                    const double fit = std::min(double(slot.width) / empty.cols,
                                                double(slot.height) / empty.rows);
                    cv::resize(empty, fitted, cv::Size(), fit, fit, cv::INTER_AREA);
                }
                count += naiveBest(grey(slot), fitted) < 0.25;
            }
        }
        benchmark::DoNotOptimize(count);
    }
    state.counters["occupied"] = count;
}

void resolutionsArgs(benchmark::internal::Benchmark *benchmark)
{
    for (int i = 0; i < int(resolutions.size()); ++i)
        benchmark->Arg(i);
    benchmark->ArgName("resolution")->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(invitationDetection)->Apply(resolutionsArgs);
BENCHMARK(invitationNaive)->Apply(resolutionsArgs);
BENCHMARK(lobbyDetection)->Apply(resolutionsArgs);
BENCHMARK(lobbyNaive)->Apply(resolutionsArgs);

int main(int argc, char **argv)
{
    // The detectors log every detection; a benchmark's loop would bury its figures under them.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    std::printf("resolution index: 0 = 1280x720, 1 = 1920x1080, 2 = 2560x1440, 3 = 3840x2160\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
