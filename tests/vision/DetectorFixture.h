#pragma once

#include <QString>
#include <QTemporaryDir>

#include <opencv2/core.hpp>

// Template pictures of the real sizes, made of smoothed noise, written into a folder of their own,
// and the means to paste them into screens: detector logic tested independently of the artwork.
class DetectorFixture
{
public:
    DetectorFixture();

    QString directory() const { return m_dir.path(); }
    // The grey picture behind one of the six files, e.g. "slot_empty.png".
    cv::Mat picture(const QString &file) const;
    void remove(const QString &file) const;

    // A busy BGR screen that resembles none of the pictures.
    static cv::Mat screen(cv::Size size, int seed = 99);
    static cv::Mat texture(cv::Size size, int seed);
    // Pastes `grey` into the BGR `screen` with its top-left at `at`.
    static void paste(cv::Mat &screen, const cv::Mat &grey, cv::Point at);
    // `picture` blended with noise to score `target` (within 0.004) in findTemplate at scale 0.5.
    static cv::Mat withScore(const cv::Mat &picture, double target);

private:
    QTemporaryDir m_dir;
};
