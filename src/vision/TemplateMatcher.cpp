#include "TemplateMatcher.h"

#include <QFile>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

cv::Mat loadTemplateImage(const QString &path)
{
    if (!path.startsWith(QLatin1String(":/")))
        return cv::imread(path.toStdString(), cv::IMREAD_GRAYSCALE);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return cv::Mat();
    const QByteArray bytes = file.readAll();
    file.close();
    const std::vector<uchar> buffer(bytes.cbegin(), bytes.cend());
    return cv::imdecode(buffer, cv::IMREAD_GRAYSCALE);
}

TemplateMatch findTemplate(const cv::Mat &image, const cv::Mat &templ, double threshold,
                           double scale)
{
    cv::Mat grey;
    if (image.channels() == 3 || image.channels() == 4)
        cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    else
        grey = image;

    cv::Mat searchImage = grey;
    cv::Mat searchTemplate = templ;
    const bool tooWide = grey.cols < templ.cols;
    const bool tooHigh = grey.rows < templ.rows;
    const bool swapped = tooWide && tooHigh;
    if (swapped) {
        // The region is smaller than the picture: look for the region inside the picture.
        std::swap(searchImage, searchTemplate);
    } else if (tooWide || tooHigh) {
        const double fit = tooWide ? double(grey.cols) / templ.cols
                                   : double(grey.rows) / templ.rows;
        cv::resize(templ, searchTemplate, cv::Size(), fit, fit, cv::INTER_AREA);
    }

    double reduction = 1.0;
    if (scale > 0.0 && scale < 1.0) {
        cv::resize(searchImage, searchImage, cv::Size(), scale, scale, cv::INTER_AREA);
        cv::resize(searchTemplate, searchTemplate, cv::Size(), scale, scale, cv::INTER_AREA);
        reduction = scale;
    }

    cv::Mat scores;
    cv::matchTemplate(searchImage, searchTemplate, scores, cv::TM_CCOEFF_NORMED);
    double best = 0.0;
    cv::Point location;
    cv::minMaxLoc(scores, nullptr, &best, nullptr, &location);
    if (reduction != 1.0)
        location = cv::Point(int(location.x / reduction), int(location.y / reduction));

    TemplateMatch match;
    match.confidence = best;
    if (!(best >= threshold)) // a NaN score is no match
        return match;
    if (swapped) {
        match.center = cv::Point(grey.cols / 2, grey.rows / 2);
        match.box = cv::Rect(0, 0, grey.cols, grey.rows);
    } else {
        match.center = cv::Point(location.x + templ.cols / 2, location.y + templ.rows / 2);
        match.box = cv::Rect(location.x, location.y, templ.cols, templ.rows);
    }
    return match;
}

namespace {

constexpr double CoarseReduction = 0.25; // of the picture's drawn size, for choosing the size
constexpr double FineReduction = 0.5;    // as findTemplate matches
// A coarse score this high is not refined: for a picture placed to the pixel, whose size other
// sizes are derived from, it takes more.
constexpr double SureScore = 0.9;
constexpr double SureScoreToThePixel = 0.95;
constexpr double WorthMoving = 0.05;     // a refined size must beat its guess by this much
constexpr double SameScale = 0.01;       // guesses closer than 1 % are one
constexpr double MaxScale = 8.0;         // guesses beyond (or NaN) are ignored
// The central region of a 1920 x 1080 screen: up to this size the fine pass looks everywhere.
constexpr int WholeImageArea = 1152 * 648;

// Area averaging by a whole factor is a fast path of OpenCV's; any other factor is several times
// slower. A large reduction therefore goes by the whole factor first, then the rest on the smaller
// image.
cv::Mat resized(const cv::Mat &image, double factor)
{
    cv::Mat out;
    const int whole = int(1.0 / factor);
    if (whole >= 2 && std::abs(1.0 / factor - whole) > 1e-9) {
        cv::Mat step;
        cv::resize(image, step, cv::Size(image.cols / whole, image.rows / whole), 0, 0, cv::INTER_AREA);
        cv::resize(step, out, cv::Size(std::max(1, cvRound(image.cols * factor)),
                                       std::max(1, cvRound(image.rows * factor))),
                   0, 0, cv::INTER_AREA);
        return out;
    }
    cv::resize(image, out, cv::Size(), factor, factor, cv::INTER_AREA);
    return out;
}

cv::Size drawnSize(const cv::Mat &templ, double scale)
{
    return cv::Size(std::max(1, cvRound(templ.cols * scale)), std::max(1, cvRound(templ.rows * scale)));
}

// A picture shrunk for matching. Area averaging by any factor but a whole one is several times
// slower, so a large reduction goes by the whole factor first, over the part of the picture that
// divides evenly (the fast path would average the far edge's partial blocks as if they were
// whole), then to the drawn size of the whole picture. That last small step also softens the
// picture a little, which keeps its score up where the screen's pixel grid lies between the
// picture's.
cv::Mat shrunkPicture(const cv::Mat &templ, double factor)
{
    cv::Mat out;
    const int whole = int(1.0 / factor);
    if (whole < 2) {
        cv::resize(templ, out, drawnSize(templ, factor), 0, 0, cv::INTER_AREA);
        return out;
    }
    const cv::Mat even = templ(cv::Rect(0, 0, std::max(whole, templ.cols / whole * whole),
                                        std::max(whole, templ.rows / whole * whole))
                               & cv::Rect(0, 0, templ.cols, templ.rows));
    cv::Mat step;
    cv::resize(even, step, cv::Size(), 1.0 / whole, 1.0 / whole, cv::INTER_AREA);
    cv::resize(step, out, drawnSize(templ, factor), 0, 0, cv::INTER_AREA);
    return out;
}

struct Probe
{
    double score = -2.0; // below any correlation: nothing searched
    cv::Point location;  // top-left in the searched image
};

// Where between its neighbours a peak lies, from a parabola through the three scores: -0.5..0.5.
double peakOffset(float before, float at, float after)
{
    const float curvature = before - 2 * at + after;
    if (!(curvature < 0))
        return 0.0;
    return std::clamp(0.5 * (before - after) / curvature, -0.5, 0.5);
}

Probe bestIn(const cv::Mat &searched, const cv::Mat &picture, cv::Point2d *subpixel = nullptr)
{
    Probe probe;
    if (picture.empty() || picture.cols > searched.cols || picture.rows > searched.rows)
        return probe;
    cv::Mat scores;
    cv::matchTemplate(searched, picture, scores, cv::TM_CCOEFF_NORMED);
    double best = 0.0;
    cv::minMaxLoc(scores, nullptr, &best, nullptr, &probe.location);
    if (best == best) // NaN stays "nothing"
        probe.score = best;
    if (subpixel) {
        const cv::Point p = probe.location;
        *subpixel = cv::Point2d(p);
        if (p.x > 0 && p.x + 1 < scores.cols)
            subpixel->x += peakOffset(scores.at<float>(p.y, p.x - 1), scores.at<float>(p),
                                      scores.at<float>(p.y, p.x + 1));
        if (p.y > 0 && p.y + 1 < scores.rows)
            subpixel->y += peakOffset(scores.at<float>(p.y - 1, p.x), scores.at<float>(p),
                                      scores.at<float>(p.y + 1, p.x));
    }
    return probe;
}

struct Candidate
{
    double scale = 1.0;
    Probe probe; // location in the grey image's pixels
};

// One guess on the quarter-size image: the image shrunk once, the picture sized for each scale
// tried around the guess.
class CoarseSearch
{
public:
    CoarseSearch(const cv::Mat &grey, const cv::Mat &templ, double guess, double sureScore)
        : m_templ(templ)
        , m_sureScore(sureScore)
        , m_guess(guess)
        , m_factor(std::min(1.0, CoarseReduction / guess))
        , m_image(resized(grey, m_factor))
        , m_first(at(guess, cv::Rect(0, 0, m_image.cols, m_image.rows)))
    {
    }

    // The guess, searched over the whole image.
    const Candidate &first() const { return m_first; }

    // The guess, or a size a few percent off it that matches clearly better. The other sizes are
    // tried only around where the guess matched best: a few percent of size move a picture's best
    // place by less than the margin.
    Candidate refined() const
    {
        if (m_first.probe.score >= m_sureScore)
            return m_first;
        const cv::Rect window = around(m_first.probe.location);
        Candidate best = m_first;
        for (const double step : {0.02, 0.01}) {
            for (bool moved = true; moved;) {
                moved = false;
                for (const double direction : {-1.0, 1.0}) {
                    const double scale = best.scale * (1.0 + direction * step);
                    if (std::abs(scale / m_guess - 1.0) > ScaleRefinementRange)
                        continue;
                    const Candidate next = at(scale, window);
                    if (next.probe.score > best.probe.score) {
                        best = next;
                        moved = true;
                    }
                }
            }
        }
        return best.probe.score >= m_first.probe.score + WorthMoving ? best : m_first;
    }

private:
    // Where the picture at any size within reach of the guess may lie when its top-left at the
    // guess is `near` (grey-image pixels), in the shrunk image's pixels.
    cv::Rect around(cv::Point near) const
    {
        const cv::Size drawn = drawnSize(m_templ, m_guess * m_factor * (1.0 + ScaleRefinementRange));
        const cv::Point at(cvRound(near.x * m_factor), cvRound(near.y * m_factor));
        const cv::Size margin(drawn.width / 10 + 4, drawn.height / 10 + 4);
        return cv::Rect(at - cv::Point(margin.width, margin.height), drawn + margin + margin)
            & cv::Rect(0, 0, m_image.cols, m_image.rows);
    }

    // The best match at `scale` within `window` of the shrunk image, in the grey image's pixels.
    Candidate at(double scale, const cv::Rect &window) const
    {
        Candidate candidate{scale, {}};
        candidate.probe = bestIn(m_image(window), shrunkPicture(m_templ, scale * m_factor));
        const cv::Point at = candidate.probe.location + window.tl();
        candidate.probe.location = cv::Point(int(at.x / m_factor), int(at.y / m_factor));
        return candidate;
    }

    const cv::Mat &m_templ;
    double m_sureScore;
    double m_guess;
    double m_factor;
    cv::Mat m_image;
    Candidate m_first;
};

// Pearson correlation of `a` with `b` from `offset` on, over a's length.
double profileCorrelation(const cv::Mat &a, const cv::Mat &b, int offset)
{
    const cv::Mat part = b.colRange(offset, offset + a.cols);
    cv::Scalar meanA, deviationA, meanB, deviationB;
    cv::meanStdDev(a, meanA, deviationA);
    cv::meanStdDev(part, meanB, deviationB);
    const double spread = deviationA[0] * deviationB[0] * a.cols;
    if (!(spread > 0.0))
        return -1.0;
    return (a - meanA[0]).dot(part - meanB[0]) / spread;
}

// The offset at which the picture's profile fits the image's profile best.
int bestShift(const cv::Mat &picture, const cv::Mat &image)
{
    int best = 0;
    double bestScore = -2.0;
    for (int shift = 0; shift + picture.cols <= image.cols; ++shift) {
        const double score = profileCorrelation(picture, image, shift);
        if (score > bestScore) {
            bestScore = score;
            best = shift;
        }
    }
    return best;
}

// `from` to `from + length` widened by `reach` both ways, within 0 to `limit`.
cv::Range widened(int from, int length, int reach, int limit)
{
    return cv::Range(std::max(0, from - reach), std::min(limit, from + length + reach));
}

// The top-left within two pixels of `near` where the picture drawn at `drawn` size fits best, to
// the pixel: its row means against the image's, then its column means. A bar's edges make its
// profiles sharp, and the means average noise away; a full-resolution correlation of the whole
// picture would cost several milliseconds on a large screen.
cv::Point exactly(const cv::Mat &grey, const cv::Mat &templ, const cv::Size &drawn, cv::Point near)
{
    constexpr int Reach = 2;
    if ((cv::Rect(near, drawn) & cv::Rect(0, 0, grey.cols, grey.rows)) != cv::Rect(near, drawn))
        return near;
    cv::Mat picture;
    cv::resize(templ, picture, drawn, 0, 0,
               drawn.width < templ.cols ? cv::INTER_AREA : cv::INTER_LINEAR);
    cv::Mat pictureRows, pictureColumns, imageRows, imageColumns;
    cv::reduce(picture, pictureRows, 1, cv::REDUCE_AVG, CV_64F);
    cv::reduce(picture, pictureColumns, 0, cv::REDUCE_AVG, CV_64F);

    const cv::Range rows = widened(near.y, drawn.height, Reach, grey.rows);
    cv::reduce(grey(rows, cv::Range(near.x, near.x + drawn.width)), imageRows, 1, cv::REDUCE_AVG, CV_64F);
    const int y = rows.start + bestShift(pictureRows.t(), imageRows.t());
    const cv::Range columns = widened(near.x, drawn.width, Reach, grey.cols);
    cv::reduce(grey(cv::Range(y, y + drawn.height), columns), imageColumns, 0, cv::REDUCE_AVG, CV_64F);
    const int x = columns.start + bestShift(pictureColumns, imageColumns);
    return cv::Point(x, y);
}

// The half-size match at the chosen scale, in a window around the coarse answer.
TemplateMatch fineMatch(const cv::Mat &grey, const cv::Mat &templ, double threshold,
                        const Candidate &coarse, MatchPrecision precision)
{
    const double scale = coarse.scale;
    const cv::Size drawn = drawnSize(templ, scale);
    // A quarter-size pixel is 4 x scale screen pixels; a percent of size moves the far edge.
    const int marginX = cvCeil(12 * scale + 0.02 * drawn.width);
    const int marginY = cvCeil(12 * scale + 0.02 * drawn.height);
    const cv::Rect window = cv::Rect(coarse.probe.location.x - marginX, coarse.probe.location.y - marginY,
                                     drawn.width + 2 * marginX, drawn.height + 2 * marginY)
        & cv::Rect(0, 0, grey.cols, grey.rows);
    const double factor = std::min(1.0, FineReduction / scale);
    cv::Mat picture;
    cv::resize(templ, picture, drawnSize(templ, scale * factor), 0, 0, cv::INTER_AREA);
    cv::Point2d peak;
    const Probe probe = bestIn(resized(grey(window), factor), picture, &peak);

    TemplateMatch match;
    match.scale = scale;
    match.confidence = probe.score > -2.0 ? probe.score : coarse.probe.score;
    if (!(probe.score >= threshold) || drawn.width > window.width || drawn.height > window.height)
        return match;
    // Between the reduced pixels: at half size one of them is two or more screen pixels.
    // Never past the window's far edge, nor before its near one where the picture is as large.
    const cv::Point at(
        std::max(window.x, std::min(window.x + cvRound(peak.x / factor), window.br().x - drawn.width)),
        std::max(window.y, std::min(window.y + cvRound(peak.y / factor), window.br().y - drawn.height)));
    const cv::Point placed = precision == MatchPrecision::Pixel ? exactly(grey, templ, drawn, at) : at;
    match.center = placed + cv::Point(drawn.width / 2, drawn.height / 2);
    match.box = cv::Rect(placed, drawn);
    return match;
}

} // namespace

cv::Mat greyImage(const cv::Mat &image)
{
    if (image.channels() != 3 && image.channels() != 4)
        return image;
    cv::Mat grey;
    cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    return grey;
}

std::vector<double> interfaceScaleGuesses(int screenHeight)
{
    const double proportional = screenHeight / 1080.0;
    if (std::abs(proportional - 1.0) < SameScale)
        return {1.0};
    // Games commonly draw their interface in proportion to the screen's height: tried first.
    return {proportional, 1.0};
}

TemplateMatch findScaledTemplate(const cv::Mat &image, const cv::Mat &templ, double threshold,
                                 const std::vector<double> &guesses, MatchPrecision precision)
{
    const cv::Mat grey = greyImage(image);
    const bool ownSizeTried = std::find(guesses.begin(), guesses.end(), 1.0) != guesses.end();
    const bool ownSizeFits = templ.cols <= grey.cols && templ.rows <= grey.rows;
    // The pictures at their own size on the screens they were made for: findTemplate's answer,
    // taken as it is unless another size matches clearly better. Where the picture does not fit,
    // findTemplate fits or swaps it, an answer taken only when no size that fits finds it.
    const double sureScore = precision == MatchPrecision::Pixel ? SureScoreToThePixel : SureScore;
    std::optional<TemplateMatch> ownSize;
    if (ownSizeTried && (!ownSizeFits || grey.cols * grey.rows <= WholeImageArea)) {
        ownSize = findTemplate(grey, templ, threshold, FineReduction);
        if (ownSizeFits && ownSize->confidence >= sureScore)
            return *ownSize;
    }

    // Each guess over the whole image, until one is sure; only the best one is refined.
    std::optional<CoarseSearch> closest;
    for (const double guess : guesses) {
        if (!(guess > 0.0 && guess <= MaxScale))
            continue;
        const cv::Size drawn = drawnSize(templ, guess);
        if (drawn.width > grey.cols || drawn.height > grey.rows)
            continue;
        CoarseSearch search(grey, templ, guess, sureScore);
        if (!closest || search.first().probe.score > closest->first().probe.score)
            closest.emplace(std::move(search));
        if (closest->first().probe.score >= sureScore)
            break;
    }
    if (!closest)
        return ownSize.value_or(TemplateMatch());
    const std::optional<Candidate> best = closest->refined();
    if (best->scale == 1.0 && ownSize && ownSizeFits)
        return *ownSize;
    const TemplateMatch fine = fineMatch(grey, templ, threshold, *best, precision);
    return fine.center.x >= 0 || !ownSize ? fine : *ownSize;
}
