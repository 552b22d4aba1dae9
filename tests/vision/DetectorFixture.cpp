#include "DetectorFixture.h"

#include "TemplateMatcher.h"

#include <QFile>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace {

struct Picture
{
    const char *file;
    cv::Size size;
    int seed;
};

const Picture pictures[] = {
    {"invitation_popup.png", {771, 587}, 11}, {"accept_button.png", {256, 61}, 12},
    {"lobby_header.png", {930, 89}, 13},      {"lobby_coach_header.png", {881, 60}, 14},
    {"slot_occupied.png", {421, 63}, 15},     {"slot_empty.png", {413, 63}, 16},
};

} // namespace

DetectorFixture::DetectorFixture()
{
    for (const Picture &p : pictures)
        cv::imwrite(m_dir.filePath(QLatin1String(p.file)).toStdString(), texture(p.size, p.seed));
}

cv::Mat DetectorFixture::picture(const QString &file) const
{
    return loadTemplateImage(m_dir.filePath(file));
}

void DetectorFixture::remove(const QString &file) const
{
    QFile::remove(m_dir.filePath(file));
}

cv::Mat DetectorFixture::texture(cv::Size size, int seed)
{
    cv::Mat grey(size, CV_8UC1);
    cv::RNG rng{uint64_t(seed)};
    rng.fill(grey, cv::RNG::UNIFORM, 0, 256);
    cv::GaussianBlur(grey, grey, cv::Size(0, 0), 4);
    cv::normalize(grey, grey, 0, 255, cv::NORM_MINMAX);
    return grey;
}

cv::Mat DetectorFixture::screen(cv::Size size, int seed)
{
    cv::Mat bgr;
    cv::cvtColor(texture(size, seed), bgr, cv::COLOR_GRAY2BGR);
    return bgr;
}

void DetectorFixture::paste(cv::Mat &screen, const cv::Mat &grey, cv::Point at)
{
    cv::Mat bgr;
    cv::cvtColor(grey, bgr, cv::COLOR_GRAY2BGR);
    const cv::Rect target = cv::Rect(at, grey.size()) & cv::Rect(0, 0, screen.cols, screen.rows);
    bgr(cv::Rect(target.tl() - at, target.size())).copyTo(screen(target));
}

cv::Mat DetectorFixture::withScore(const cv::Mat &picture, double target)
{
    const cv::Mat noise = texture(picture.size(), 1234);
    double low = 0.0;
    double high = 1.0;
    cv::Mat blended;
    for (int step = 0; step < 40; ++step) {
        const double weight = (low + high) / 2;
        cv::addWeighted(picture, weight, noise, 1.0 - weight, 0.0, blended);
        const double score = findTemplate(blended, picture, 2.0, 0.5).confidence;
        if (std::abs(score - target) < 0.004)
            return blended;
        (score < target ? low : high) = weight;
    }
    return blended;
}
