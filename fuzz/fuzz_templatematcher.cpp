// findTemplate and findScaledTemplate on any image and template: sizes from empty through 1 x 1 to larger than the other
// picture, one to four channels, every depth OpenCV has, the image possibly a region of a larger
// frame (as the detectors pass it), any threshold and scale. OpenCV's refusals arrive as
// cv::Exception, which the detectors catch; anything else escaping, a crash, or a match outside
// what the function promises is a failure.
//
// Input: FuzzedDataProvider's reading of the bytes. The shapes and settings come from the end of
// the input, the pixels from its start, repeated as often as the two pictures need.

#include "FuzzSupport.h"
#include "TemplateMatcher.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Large enough for templates bigger than their image and for the halving, small enough that a
// run spends its time on many shapes rather than on one large correlation.
constexpr int MaxSide = 72;
constexpr int MaxMargin = 8;

constexpr std::array<int, 8> depths{CV_8U, CV_8U, CV_8U, CV_16U, CV_32F, CV_32F, CV_64F, CV_16S};
const double nan = std::numeric_limits<double>::quiet_NaN();
const double infinity = std::numeric_limits<double>::infinity();
// What the detectors pass, then the edges.
const std::array<double, 10> scales{0.5, 1.0, 0.25, 0.0, 0.999, 1e-3, -0.5, 2.0, nan, infinity};
const std::array<double, 10> thresholds{0.7, 0.25, 0.8, 0.0, -1.0, 1.0, 1.5, -infinity, nan,
                                        0.5};

struct Shape
{
    int rows = 0;
    int cols = 0;
    int type = CV_8UC1;
};

Shape consumeShape(FuzzedDataProvider &input)
{
    Shape shape;
    shape.rows = input.ConsumeIntegralInRange(0, MaxSide);
    shape.cols = input.ConsumeIntegralInRange(0, MaxSide);
    const int channels = input.ConsumeIntegralInRange(1, 4);
    shape.type = CV_MAKETYPE(input.PickValueInArray(depths), channels);
    return shape;
}

template <std::size_t N>
double consumeSetting(FuzzedDataProvider &input, const std::array<double, N> &table, double low,
                      double high)
{
    if (input.ConsumeBool())
        return input.PickValueInArray(table);
    return input.ConsumeFloatingPointInRange(low, high);
}

// Fills the picture's rows with the pixel bytes, over and over; it stays black when there are
// none.
void fill(cv::Mat &picture, const std::vector<std::uint8_t> &pixels, std::size_t &next)
{
    if (pixels.empty())
        return;
    const std::size_t rowBytes = std::size_t(picture.cols) * picture.elemSize();
    for (int y = 0; y < picture.rows; ++y) {
        std::uint8_t *row = picture.ptr<std::uint8_t>(y);
        for (std::size_t x = 0; x < rowBytes; ++x) {
            row[x] = pixels[next];
            next = (next + 1) % pixels.size();
        }
    }
}

void checkMatch(const TemplateMatch &match, const cv::Mat &image, const cv::Mat &templ,
                double threshold, double scale)
{
    if (match.center == cv::Point(-1, -1)) {
        FUZZ_EXPECT(match.box == cv::Rect());
        return;
    }
    FUZZ_EXPECT(match.confidence >= threshold);
    const bool swapped = image.cols < templ.cols && image.rows < templ.rows;
    if (swapped) {
        FUZZ_EXPECT(match.box == cv::Rect(0, 0, image.cols, image.rows));
        return;
    }
    FUZZ_EXPECT(match.box.size() == templ.size());
    FUZZ_EXPECT(match.box.x >= 0 && match.box.y >= 0);
    FUZZ_EXPECT(match.center == cv::Point(match.box.x + templ.cols / 2, match.box.y + templ.rows / 2));
    // Searched at full size with a template that fits, the match lies inside the image.
    const bool fits = templ.cols <= image.cols && templ.rows <= image.rows;
    const bool reduced = scale > 0.0 && scale < 1.0;
    if (fits && !reduced)
        FUZZ_EXPECT((cv::Rect(0, 0, image.cols, image.rows) & match.box) == match.box);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // One thread: the run is reproducible, and the fuzzer shares the machine.
    cv::setNumThreads(0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const Shape imageShape = consumeShape(input);
    const Shape templShape = consumeShape(input);
    const bool region = input.ConsumeBool();
    const int left = region ? input.ConsumeIntegralInRange(0, MaxMargin) : 0;
    const int top = region ? input.ConsumeIntegralInRange(0, MaxMargin) : 0;
    const int right = region ? input.ConsumeIntegralInRange(0, MaxMargin) : 0;
    const int bottom = region ? input.ConsumeIntegralInRange(0, MaxMargin) : 0;
    const double threshold = consumeSetting(input, thresholds, -1.5, 1.5);
    const double scale = consumeSetting(input, scales, -0.5, 1.5);
    const std::vector<std::uint8_t> pixels = input.ConsumeRemainingBytes<std::uint8_t>();

    // The image as a region of a larger frame when asked: its rows are then not contiguous.
    cv::Mat image(imageShape.rows, imageShape.cols, imageShape.type, cv::Scalar::all(0));
    if (region && !image.empty()) {
        const cv::Mat frame(imageShape.rows + top + bottom, imageShape.cols + left + right,
                            imageShape.type, cv::Scalar::all(0));
        image = frame(cv::Rect(left, top, imageShape.cols, imageShape.rows));
    }
    cv::Mat templ(templShape.rows, templShape.cols, templShape.type, cv::Scalar::all(0));
    std::size_t next = 0;
    fill(image, pixels, next);
    fill(templ, pixels, next);

    TemplateMatch match;
    try {
        match = findTemplate(image, templ, threshold, scale);
    } catch (const cv::Exception &) {
        return 0;
    }
    checkMatch(match, image, templ, threshold, scale);

    // The same pictures searched over sizes, the setting taken as a guess beside the own size.
    try {
        match = findScaledTemplate(image, templ, threshold, {1.0, scale * 2.0});
    } catch (const cv::Exception &) {
        return 0;
    }
    if (match.center == cv::Point(-1, -1)) {
        FUZZ_EXPECT(match.box == cv::Rect());
    } else {
        FUZZ_EXPECT(match.confidence >= threshold);
        FUZZ_EXPECT(match.scale > 0.0);
        // Away from findTemplate's own-size answer, the box is the picture at the size found.
        if (match.scale != 1.0)
            FUZZ_EXPECT((cv::Rect(0, 0, image.cols, image.rows) & match.box) == match.box);
    }
    return 0;
}
