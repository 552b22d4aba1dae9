#include "InvitationDetector.h"

#include "DetectorTemplate.h"
#include "Log.h"
#include "TemplateMatcher.h"
#include "TestMode.h"

#include <QElapsedTimer>

namespace {

// findTemplate in the central region, the match moved to screen-image coordinates.
TemplateMatch matchInCentre(const cv::Mat &screen, const cv::Mat &templ, double threshold)
{
    const cv::Rect region = InvitationDetector::searchRegion(screen.size());
    TemplateMatch match = findTemplate(screen(region), templ, threshold, 0.5);
    if (match.center.x >= 0) {
        match.center += region.tl();
        match.box += region.tl();
    }
    return match;
}

void reportMiss(const QString &detector, const TemplateMatch &match, const QElapsedTimer &clock)
{
    logTestResult(detector, false, match.confidence,
                  QStringLiteral("best confidence: %1% - took %2ms")
                      .arg(int(match.confidence * 100))
                      .arg(clock.elapsed()));
}

void reportHit(const QString &detector, const TemplateMatch &match, qint64 tookMs)
{
    logTestResult(detector, true, match.confidence,
                  QStringLiteral("at (%1, %2) - took %3ms")
                      .arg(match.center.x)
                      .arg(match.center.y)
                      .arg(tookMs));
}

} // namespace

bool InvitationDetector::loadTemplates(const QString &templateDir)
{
    loadDetectorTemplate(m_popupTemplate, templateDir + QStringLiteral("/invitation_popup.png"),
             QStringLiteral("invitation popup"));
    loadDetectorTemplate(m_acceptTemplate, templateDir + QStringLiteral("/accept_button.png"),
             QStringLiteral("accept button"));
    return !m_popupTemplate.empty() || !m_acceptTemplate.empty();
}

cv::Rect InvitationDetector::searchRegion(const cv::Size &screen)
{
    const int width = int(screen.width * 0.6);
    const int height = int(screen.height * 0.6);
    return cv::Rect((screen.width - width) / 2, (screen.height - height) / 2, width, height);
}

bool InvitationDetector::detectInvitation(const cv::Mat &screen) const
{
    QElapsedTimer clock;
    if (isTestModeEnabled())
        clock.start();
    if (screen.empty())
        return false;
    if (m_popupTemplate.empty()) {
        logWarn(QStringLiteral("Invitation popup template not loaded, cannot detect"));
        return false;
    }
    try {
        const TemplateMatch match = matchInCentre(screen, m_popupTemplate, 0.65);
        if (match.center.x < 0) {
            reportMiss(QStringLiteral("InvitationDetector"), match, clock);
            return false;
        }
        logInfo(QStringLiteral("Invitation popup detected! Confidence: %1 at (%2, %3)")
                    .arg(match.confidence)
                    .arg(match.center.x)
                    .arg(match.center.y));
        if (isTestModeEnabled()) {
            const qint64 tookMs = clock.elapsed();
            cv::Mat annotated = screen.clone();
            drawDetection(annotated, match.box, QStringLiteral("Invitation Popup"),
                          match.confidence, cv::Scalar(0, 255, 0));
            saveDebugImage(annotated, QStringLiteral("invitation_detected"));
            reportHit(QStringLiteral("InvitationDetector"), match, tookMs);
        }
        return true;
    } catch (const cv::Exception &error) {
        logError(QStringLiteral("Error detecting invitation: %1").arg(QString::fromUtf8(error.what())));
        return false;
    }
}

cv::Point InvitationDetector::findAcceptButton(const cv::Mat &screen) const
{
    QElapsedTimer clock;
    if (isTestModeEnabled())
        clock.start();
    const cv::Point none(-1, -1);
    if (screen.empty())
        return none;
    if (m_acceptTemplate.empty()) {
        logWarn(QStringLiteral("Accept button template not loaded, cannot find button"));
        return none;
    }
    try {
        const TemplateMatch match = matchInCentre(screen, m_acceptTemplate, 0.7);
        if (match.center.x < 0) {
            reportMiss(QStringLiteral("AcceptButton"), match, clock);
            return none;
        }
        logInfo(QStringLiteral("Accept button found at: (%1, %2) with confidence: %3")
                    .arg(match.center.x)
                    .arg(match.center.y)
                    .arg(match.confidence));
        if (isTestModeEnabled()) {
            const qint64 tookMs = clock.elapsed();
            cv::Mat annotated = screen.clone();
            drawDetection(annotated, match.box, QStringLiteral("Accept Button"), match.confidence,
                          cv::Scalar(0, 255, 255));
            drawClickPoint(annotated, match.center, QStringLiteral("Click Here"),
                           cv::Scalar(0, 0, 255));
            saveDebugImage(annotated, QStringLiteral("accept_button_found"));
            reportHit(QStringLiteral("AcceptButton"), match, tookMs);
        }
        return match.center;
    } catch (const cv::Exception &error) {
        logError(QStringLiteral("Error finding accept button: %1").arg(QString::fromUtf8(error.what())));
        return none;
    }
}
