#pragma once

#include <QString>

#include <opencv2/core.hpp>

// Where a reference picture was found in a searched image.
struct TemplateMatch
{
    cv::Point center{-1, -1}; // (-1, -1) when nothing was found
    double confidence = 0.0;  // the best correlation score, also when nothing was found
    cv::Rect box;             // top-left of the match and the template's own size; zero if none
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
