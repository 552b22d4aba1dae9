#include "InvitationDetector.h"

#include "DetectorTemplate.h"
#include "Log.h"
#include "TemplateMatcher.h"
#include "TestMode.h"

#include <QElapsedTimer>

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
        const cv::Rect region = searchRegion(screen.size());
        TemplateMatch match = findTemplate(screen(region), m_popupTemplate, 0.65, 0.5);
        if (match.center.x < 0) {
            logTestResult(QStringLiteral("InvitationDetector"), false, match.confidence,
                          QStringLiteral("best confidence: %1% - took %2ms")
                              .arg(int(match.confidence * 100))
                              .arg(clock.elapsed()));
            return false;
        }
        match.center += region.tl();
        match.box.x += region.x;
        match.box.y += region.y;
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
            logTestResult(QStringLiteral("InvitationDetector"), true, match.confidence,
                          QStringLiteral("at (%1, %2) - took %3ms")
                              .arg(match.center.x)
                              .arg(match.center.y)
                              .arg(tookMs));
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
        const cv::Rect region = searchRegion(screen.size());
        TemplateMatch match = findTemplate(screen(region), m_acceptTemplate, 0.7, 0.5);
        if (match.center.x < 0) {
            logTestResult(QStringLiteral("AcceptButton"), false, match.confidence,
                          QStringLiteral("best confidence: %1% - took %2ms")
                              .arg(int(match.confidence * 100))
                              .arg(clock.elapsed()));
            return none;
        }
        match.center += region.tl();
        match.box.x += region.x;
        match.box.y += region.y;
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
            logTestResult(QStringLiteral("AcceptButton"), true, match.confidence,
                          QStringLiteral("at (%1, %2) - took %3ms")
                              .arg(match.center.x)
                              .arg(match.center.y)
                              .arg(tookMs));
        }
        return match.center;
    } catch (const cv::Exception &error) {
        logError(QStringLiteral("Error finding accept button: %1").arg(QString::fromUtf8(error.what())));
        return none;
    }
}
