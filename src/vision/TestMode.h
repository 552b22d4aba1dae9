#pragma once

#include <QString>

#include <opencv2/core.hpp>

// Test mode (OVERLAY_TEST_MODE = "1" or "true" in any case): every detector run writes a "[TEST]"
// line, and positive detections save annotated copies of the screen image for tuning. Off, every
// function here but the switch does nothing.

// Read afresh at every call; the first call that finds it on logs the test-mode banner.
bool isTestModeEnabled();
// The debug image folder ("OverlayDebug" in the temporary location), created when missing.
QString debugImageDirectory();
void saveDebugImage(const cv::Mat &image, const QString &name);
void drawDetection(cv::Mat &image, const cv::Rect &box, const QString &label, double confidence,
                   const cv::Scalar &color);
void drawClickPoint(cv::Mat &image, const cv::Point &point, const QString &label,
                    const cv::Scalar &color);
void logTestResult(const QString &detector, bool detected, double confidence,
                   const QString &details);
