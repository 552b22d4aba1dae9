#pragma once

#include <QString>

#include <opencv2/core.hpp>

#include <vector>

// Where a reference picture was found in a searched image.
struct TemplateMatch
{
    cv::Point center{-1, -1}; // (-1, -1) when nothing was found
    double confidence = 0.0;  // the best correlation score, also when nothing was found
    cv::Rect box;             // top-left of the match and the template's size; zero if none
    double scale = 1.0;       // the size the picture was found at, relative to its own
};

// A template picture as a single-channel grey image: ":/..." from the resources, anything else
// from the file system. Empty when it cannot be read or decoded; nothing is logged.
cv::Mat loadTemplateImage(const QString &path);

// Normalised correlation-coefficient matching of a grey template in `image` (BGR, BGRA or grey),
// both reduced by `scale` first for speed. A template larger than the image in one direction is
// shrunk to fit; one larger in both directions swaps roles, the image being looked for in the
// template. OpenCV errors reach the caller as cv::Exception.
TemplateMatch findTemplate(const cv::Mat &image, const cv::Mat &templ, double threshold,
                           double scale);

// How far from its guess findScaledTemplate looks for a picture's size: 8 %.
inline constexpr double ScaleRefinementRange = 0.08;

// The picture found at the size the game draws it: an interface may be drawn in proportion to the
// screen or at the pictures' own size, and a few percent either way. Each of `guesses` (sizes
// relative to the picture's own) is tried on a quarter-size search, the better one refined in
// steps of a few percent, and the best size then matched at half size; the box has the picture's
// size at that scale. An image no larger than 1152 x 648 with the picture at its own size gets
// exactly findTemplate's answer (scale 0.5); a larger one is matched finely only around the
// coarse answer. A guess at which the picture does not fit the image is skipped, except its own
// size, which falls back to findTemplate's fitting; so is a guess not within 0 to 8.
// Pixel: the half-size answer is then placed to the pixel at full resolution, for pictures whose
// exact position other positions are derived from.
enum class MatchPrecision { HalfSize, Pixel };
TemplateMatch findScaledTemplate(const cv::Mat &image, const cv::Mat &templ, double threshold,
                                 const std::vector<double> &guesses,
                                 MatchPrecision precision = MatchPrecision::HalfSize);

// The image in grey (BGR or BGRA converted, anything else as it is), for searching one image for
// several pictures.
cv::Mat greyImage(const cv::Mat &image);

// The interface sizes worth trying on a screen `screenHeight` pixels high: the one in proportion to
// the screen (the pictures are drawn for 1080 rows) and the pictures' own.
std::vector<double> interfaceScaleGuesses(int screenHeight);
