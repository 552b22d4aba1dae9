#include "InvitationDetector.h"

#include "DetectorTemplate.h"
#include "Log.h"
#include "TestMode.h"

#include <QElapsedTimer>

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace {

constexpr double PopupThreshold = 0.65;
constexpr double AcceptThreshold = 0.7;
// The central region of a 1920 x 1080 screen: up to this size, with the interface at the
// pictures' size, the button's scores are worked out over the whole region, as for the popup, so
// that a full-HD screen gets the same numbers.
constexpr int WholeRegionArea = 1152 * 648;

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

// The best match of `templ` drawn at `scale` in `region` whose top-left lies in `allowed`
// (region coordinates), matched at half the drawn size.
TemplateMatch matchWithin(const cv::Mat &region, const cv::Mat &templ, double scale,
                          const cv::Rect &allowed, double threshold)
{
    const cv::Size drawn(std::max(1, cvRound(templ.cols * scale)),
                         std::max(1, cvRound(templ.rows * scale)));
    cv::Rect searched(0, 0, region.cols, region.rows);
    if (scale != 1.0 || region.cols * region.rows > WholeRegionArea)
        searched = cv::Rect(allowed.tl(), allowed.size() + drawn) & searched;
    TemplateMatch match;
    match.scale = scale;
    const double factor = std::min(1.0, 0.5 / scale);
    cv::Mat grey;
    if (region.channels() == 3 || region.channels() == 4)
        cv::cvtColor(region(searched), grey, cv::COLOR_BGR2GRAY);
    else
        grey = region(searched);
    cv::Mat image;
    cv::Mat picture;
    cv::resize(grey, image, cv::Size(), factor, factor, cv::INTER_AREA);
    cv::resize(templ, picture, cv::Size(), scale * factor, scale * factor, cv::INTER_AREA);
    if (picture.empty() || picture.cols > image.cols || picture.rows > image.rows)
        return match;
    cv::Mat scores;
    cv::matchTemplate(image, picture, scores, cv::TM_CCOEFF_NORMED);
    // The allowed top-left corners, in the score map's pixels.
    const cv::Rect local = allowed - searched.tl();
    const int left = std::max(0, cvFloor(local.x * factor));
    const int top = std::max(0, cvFloor(local.y * factor));
    const int right = std::min(scores.cols, cvCeil((local.x + local.width) * factor) + 1);
    const int bottom = std::min(scores.rows, cvCeil((local.y + local.height) * factor) + 1);
    if (right <= left || bottom <= top)
        return match;
    double best = 0.0;
    cv::Point location;
    cv::minMaxLoc(scores(cv::Rect(left, top, right - left, bottom - top)), nullptr, &best, nullptr,
                  &location);
    match.confidence = best;
    if (!(best >= threshold))
        return match;
    const cv::Point at = searched.tl()
        + cv::Point(int((location.x + left) / factor), int((location.y + top) / factor));
    match.center = at + cv::Point(drawn.width / 2, drawn.height / 2);
    match.box = cv::Rect(at, drawn);
    return match;
}

} // namespace

bool InvitationDetector::loadTemplates(const QString &templateDir)
{
    loadDetectorTemplate(m_popupTemplate, templateDir + QStringLiteral("/invitation_popup.png"),
                         QStringLiteral("invitation popup"));
    loadDetectorTemplate(m_acceptTemplate, templateDir + QStringLiteral("/accept_button.png"),
                         QStringLiteral("accept button"));
    m_acceptInPopup = cv::Rect();
    if (!m_popupTemplate.empty() && !m_acceptTemplate.empty()) {
        const TemplateMatch inside = findTemplate(m_popupTemplate, m_acceptTemplate, 0.9, 1.0);
        if (inside.center.x >= 0)
            m_acceptInPopup = inside.box;
    }
    return !m_popupTemplate.empty() || !m_acceptTemplate.empty();
}

cv::Rect InvitationDetector::searchRegion(const cv::Size &screen)
{
    const int width = int(screen.width * 0.6);
    const int height = int(screen.height * 0.6);
    return cv::Rect((screen.width - width) / 2, (screen.height - height) / 2, width, height);
}

bool InvitationDetector::findPopup(const cv::Mat &screen, const cv::Mat &centre,
                                   TemplateMatch &popup, Report report) const
{
    QElapsedTimer clock;
    if (isTestModeEnabled())
        clock.start();
    const cv::Rect region = searchRegion(screen.size());
    popup = findScaledTemplate(centre, m_popupTemplate, PopupThreshold,
                               interfaceScaleGuesses(screen.rows));
    if (popup.center.x < 0) {
        if (report == Report::Logged)
            reportMiss(QStringLiteral("InvitationDetector"), popup, clock);
        return false;
    }
    popup.center += region.tl();
    popup.box += region.tl();
    if (report == Report::Quietly)
        return true;
    logInfo(QStringLiteral("Invitation popup detected! Confidence: %1 at (%2, %3)")
                .arg(popup.confidence)
                .arg(popup.center.x)
                .arg(popup.center.y));
    if (isTestModeEnabled()) {
        const qint64 tookMs = clock.elapsed();
        cv::Mat annotated = screen.clone();
        drawDetection(annotated, popup.box, QStringLiteral("Invitation Popup"), popup.confidence,
                      cv::Scalar(0, 255, 0));
        saveDebugImage(annotated, QStringLiteral("invitation_detected"));
        reportHit(QStringLiteral("InvitationDetector"), popup, tookMs);
    }
    return true;
}

cv::Point InvitationDetector::acceptButtonIn(const cv::Mat &screen, const cv::Mat &centre,
                                             const TemplateMatch &popup) const
{
    QElapsedTimer clock;
    if (isTestModeEnabled())
        clock.start();
    // Where the popup holds its button, give or take the popup's own placing: a percent of its
    // size and a few pixels. The other button of the popup lies far outside that.
    cv::Rect allowed = popup.box;
    if (!m_acceptInPopup.empty()) {
        const cv::Point expected = popup.box.tl()
            + cv::Point(cvRound(m_acceptInPopup.x * popup.scale),
                        cvRound(m_acceptInPopup.y * popup.scale));
        const int margin = 6 + cvCeil(0.02 * popup.box.width);
        allowed = cv::Rect(expected - cv::Point(margin, margin), cv::Size(2 * margin, 2 * margin));
    }
    const cv::Rect region = searchRegion(screen.size());
    TemplateMatch match = matchWithin(centre, m_acceptTemplate, popup.scale,
                                      allowed - region.tl(), AcceptThreshold);
    if (match.center.x < 0) {
        reportMiss(QStringLiteral("AcceptButton"), match, clock);
        return cv::Point(-1, -1);
    }
    match.center += region.tl();
    match.box += region.tl();
    logInfo(QStringLiteral("Accept button found at: (%1, %2) with confidence: %3")
                .arg(match.center.x)
                .arg(match.center.y)
                .arg(match.confidence));
    if (isTestModeEnabled()) {
        const qint64 tookMs = clock.elapsed();
        cv::Mat annotated = screen.clone();
        drawDetection(annotated, match.box, QStringLiteral("Accept Button"), match.confidence,
                      cv::Scalar(0, 255, 255));
        drawClickPoint(annotated, match.center, QStringLiteral("Click Here"), cv::Scalar(0, 0, 255));
        saveDebugImage(annotated, QStringLiteral("accept_button_found"));
        reportHit(QStringLiteral("AcceptButton"), match, tookMs);
    }
    return match.center;
}

bool InvitationDetector::detectInvitation(const cv::Mat &screen) const
{
    return detect(screen, false).visible;
}

cv::Point InvitationDetector::findAcceptButton(const cv::Mat &screen) const
{
    if (screen.empty())
        return cv::Point(-1, -1);
    if (m_acceptTemplate.empty()) {
        logWarn(QStringLiteral("Accept button template not loaded, cannot find button"));
        return cv::Point(-1, -1);
    }
    return detect(screen, true, Report::Quietly).acceptButton;
}

InvitationDetector::Invitation InvitationDetector::detect(const cv::Mat &screen) const
{
    return detect(screen, true);
}

InvitationDetector::Invitation InvitationDetector::detect(const cv::Mat &screen, bool withButton,
                                                          Report popupReport) const
{
    Invitation invitation;
    if (screen.empty())
        return invitation;
    if (m_popupTemplate.empty()) {
        if (popupReport == Report::Logged)
            logWarn(QStringLiteral("Invitation popup template not loaded, cannot detect"));
        return invitation;
    }
    TemplateMatch popup;
    cv::Mat centre;
    try {
        // Both pictures are looked for in the same grey centre of the screen.
        centre = greyImage(screen(searchRegion(screen.size())));
        invitation.visible = findPopup(screen, centre, popup, popupReport);
    } catch (const cv::Exception &error) {
        // Asked only for the button, the popup's search is part of finding it.
        const QString what = popupReport == Report::Logged
            ? QStringLiteral("Error detecting invitation: %1")
            : QStringLiteral("Error finding accept button: %1");
        logError(what.arg(QString::fromUtf8(error.what())));
        return invitation;
    }
    if (!invitation.visible || !withButton)
        return invitation;
    if (m_acceptTemplate.empty()) {
        logWarn(QStringLiteral("Accept button template not loaded, cannot find button"));
        return invitation;
    }
    try {
        invitation.acceptButton = acceptButtonIn(screen, centre, popup);
    } catch (const cv::Exception &error) {
        logError(QStringLiteral("Error finding accept button: %1").arg(QString::fromUtf8(error.what())));
    }
    return invitation;
}
