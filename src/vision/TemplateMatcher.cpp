#include "TemplateMatcher.h"

#include <QFile>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

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
