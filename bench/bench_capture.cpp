// Screen capture through the X11 desktop backend at four sizes: MIT-SHM against plain XGetImage in
// the same run, and the copy into the detectors' image on top. Needs an X display at least
// 3840 x 2160 for every size, for example:
//     Xvfb :5 -screen 0 3840x2160x24 & DISPLAY=:5 build/bench/bench_capture
// Sizes that do not fit on the display are skipped.
#include "Desktop.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const std::array<std::array<int, 2>, 4> sizes = {{{1280, 720}, {1920, 1080}, {2560, 1440}, {3840, 2160}}};

std::unique_ptr<Desktop> desktopCopyingWith(const char *mode)
{
    setenv("CORVANTA_X11_CAPTURE", mode, 1);
    return createDesktop();
}

void capture(benchmark::State &state, const char *mode, bool intoImage)
{
    const auto size = sizes[size_t(state.range(0))];
    auto desktop = desktopCopyingWith(mode);
    const Desktop::Rect area{0, 0, size[0], size[1]};
    Desktop::Pixels pixels;
    if (desktop->grabScreen(area, pixels) != Desktop::CaptureStatus::Captured
        || pixels.width != size[0] || pixels.height != size[1]) {
        state.SkipWithError("the display is smaller than this size, or cannot be captured");
        return;
    }
    for (auto _ : state) {
        desktop->grabScreen(area, pixels);
        if (intoImage) {
            // The same row-by-row copy that drops the row padding for the detectors.
            cv::Mat image(pixels.height, pixels.width, CV_8UC3);
            for (int y = 0; y < pixels.height; ++y)
                std::memcpy(image.ptr(y), pixels.bytes.data() + size_t(y) * pixels.stride,
                            size_t(pixels.width) * 3);
            benchmark::DoNotOptimize(image.data);
        }
        benchmark::DoNotOptimize(pixels.bytes.data());
    }
}

void sizesArgs(benchmark::internal::Benchmark *benchmark)
{
    for (int i = 0; i < int(sizes.size()); ++i)
        benchmark->Arg(i);
    benchmark->ArgName("size")->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK_CAPTURE(capture, shm, "shm", false)->Apply(sizesArgs);
BENCHMARK_CAPTURE(capture, xgetimage, "xgetimage", false)->Apply(sizesArgs);
BENCHMARK_CAPTURE(capture, shm_into_image, "shm", true)->Apply(sizesArgs);
BENCHMARK_CAPTURE(capture, xgetimage_into_image, "xgetimage", true)->Apply(sizesArgs);

int main(int argc, char **argv)
{
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "bench_capture needs an X display (see the top of bench_capture.cpp)\n");
        return 1;
    }
    std::printf("size index: 0 = 1280x720, 1 = 1920x1080, 2 = 2560x1440, 3 = 3840x2160\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
