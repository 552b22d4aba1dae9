// Screen capture through the X11 desktop backend at four sizes, straight into the detectors'
// image: MIT-SHM against plain XGetImage in the same run. Needs an X display at least
// 3840 x 2160 for every size, for example:
//     Xvfb :5 -screen 0 3840x2160x24 & DISPLAY=:5 build/bench/bench_capture
// Sizes that do not fit on the display are skipped.
#include "Desktop.h"

#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace {

const std::array<std::array<int, 2>, 4> sizes = {{{1280, 720}, {1920, 1080}, {2560, 1440}, {3840, 2160}}};
std::array<int, 2> displaySize = {0, 0};

// One desktop per way of copying, kept for the whole run: the shared segment is set up once, as
// in the bridge, which keeps its desktop.
Desktop &desktopCopyingWith(const char *mode)
{
    static std::map<std::string, std::unique_ptr<Desktop>> desktops;
    std::unique_ptr<Desktop> &desktop = desktops[mode];
    if (!desktop) {
        setenv("CORVANTA_X11_CAPTURE", mode, 1);
        desktop = createDesktop();
    }
    return *desktop;
}

void capture(benchmark::State &state, const char *mode)
{
    const auto size = sizes[size_t(state.range(0))];
    Desktop &desktop = desktopCopyingWith(mode);
    const Desktop::Rect area{0, 0, size[0], size[1]};
    cv::Mat image(size[1], size[0], CV_8UC3);
    if (size[0] > displaySize[0] || size[1] > displaySize[1]
        || desktop.grabScreen(area, image.data, image.step[0]) != Desktop::CaptureStatus::Captured) {
        state.SkipWithError("the display is smaller than this size, or cannot be captured");
        return;
    }
    for (auto _ : state) {
        // A new image each time, as the bridge hands each capture on to a detector.
        cv::Mat frame(size[1], size[0], CV_8UC3);
        desktop.grabScreen(area, frame.data, frame.step[0]);
        benchmark::DoNotOptimize(frame.data);
    }
}

void sizesArgs(benchmark::internal::Benchmark *benchmark)
{
    for (int i = 0; i < int(sizes.size()); ++i)
        benchmark->Arg(i);
    benchmark->ArgName("size")->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK_CAPTURE(capture, shm, "shm")->Apply(sizesArgs);
BENCHMARK_CAPTURE(capture, xgetimage, "xgetimage")->Apply(sizesArgs);

int main(int argc, char **argv)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "bench_capture needs an X display (see the top of bench_capture.cpp)\n");
        return 1;
    }
    displaySize = {DisplayWidth(display, DefaultScreen(display)),
                   DisplayHeight(display, DefaultScreen(display))};
    XCloseDisplay(display);
    std::printf("size index: 0 = 1280x720, 1 = 1920x1080, 2 = 2560x1440, 3 = 3840x2160\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
