#include "TestMode.h"

#include "Log.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <atomic>

namespace {

// Detectors run on worker threads: the banner is written once and no two images share a number.
std::atomic<bool> bannerPrinted{false};
std::atomic<int> imageCounter{0};

const int font = cv::FONT_HERSHEY_SIMPLEX;

void printBannerOnce()
{
    if (bannerPrinted.exchange(true))
        return;
    const QString rule(40, QLatin1Char('='));
    logInfo(rule);
    logInfo(QStringLiteral("TEST MODE ENABLED"));
    logInfo(QStringLiteral("Debug images will be saved to: ") + debugImageDirectory());
    logInfo(rule);
}

// A label on a black background with its baseline at `origin`.
void drawLabel(cv::Mat &image, const cv::Point &origin, const std::string &text,
               const cv::Scalar &color)
{
    int baseline = 0;
    const cv::Size size = cv::getTextSize(text, font, 0.5, 1, &baseline);
    cv::rectangle(image, cv::Point(origin.x - 2, origin.y - size.height - 2),
                  cv::Point(origin.x + size.width + 2, origin.y + baseline), cv::Scalar(0, 0, 0),
                  cv::FILLED);
    cv::putText(image, text, origin, font, 0.5, color, 1, cv::LINE_8);
}

} // namespace

bool isTestModeEnabled()
{
    if (!qEnvironmentVariableIsSet("OVERLAY_TEST_MODE"))
        return false;
    const QString value = qEnvironmentVariable("OVERLAY_TEST_MODE");
    const bool enabled = value == QLatin1String("1") || value.toLower() == QLatin1String("true");
    if (enabled)
        printBannerOnce();
    return enabled;
}

QString debugImageDirectory()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::TempLocation)
        + QStringLiteral("/OverlayDebug");
    QDir().mkpath(path);
    return path;
}

void saveDebugImage(const cv::Mat &image, const QString &name)
{
    if (!isTestModeEnabled() || image.empty())
        return;
    const QString path = QStringLiteral("%1/%2_%3_%4.png")
                             .arg(debugImageDirectory(),
                                  QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss")))
                             .arg(imageCounter.fetch_add(1))
                             .arg(name);
    try {
        cv::imwrite(path.toStdString(), image);
        logDebug(QStringLiteral("Saved debug image: %1").arg(path));
    } catch (const cv::Exception &error) {
        logError(QStringLiteral("Failed to save debug image: %1").arg(QString::fromUtf8(error.what())));
    }
}

void drawDetection(cv::Mat &image, const cv::Rect &box, const QString &label, double confidence,
                   const cv::Scalar &color)
{
    if (!isTestModeEnabled() || image.empty())
        return;
    cv::rectangle(image, box, color, 2, cv::LINE_8);
    const QString text = QStringLiteral("%1: %2%").arg(label).arg(int(confidence * 100));
    // At the top edge the label goes below the box.
    const cv::Point origin = box.y - 5 < 0 ? cv::Point(box.x, box.y + box.height + 15)
                                           : cv::Point(box.x, box.y - 5);
    drawLabel(image, origin, text.toStdString(), color);
}

void drawClickPoint(cv::Mat &image, const cv::Point &point, const QString &label,
                    const cv::Scalar &color)
{
    if (!isTestModeEnabled() || image.empty() || point.x < 0 || point.y < 0)
        return;
    cv::line(image, point - cv::Point(20, 0), point + cv::Point(20, 0), color, 2, cv::LINE_8);
    cv::line(image, point - cv::Point(0, 20), point + cv::Point(0, 20), color, 2, cv::LINE_8);
    cv::circle(image, point, 5, color, 2, cv::LINE_8);
    drawLabel(image, point + cv::Point(10, -10), label.toStdString(), color);
}

void logTestResult(const QString &detector, bool detected, double confidence,
                   const QString &details)
{
    if (!isTestModeEnabled())
        return;
    QString line = QStringLiteral("[TEST] %1 %2").arg(
        detector, detected ? QStringLiteral("[DETECTED]") : QStringLiteral("[NOT DETECTED]"));
    if (confidence > 0)
        line += QStringLiteral(" (confidence: %1%)").arg(int(confidence * 100));
    if (!details.isEmpty())
        line += QStringLiteral(" - %1").arg(details);
    if (detected)
        logInfo(line);
    else
        logDebug(line);
}
