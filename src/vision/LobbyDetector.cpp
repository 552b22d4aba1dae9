#include "LobbyDetector.h"

#include "DetectorTemplate.h"
#include "Log.h"
#include "TemplateMatcher.h"
#include "TestMode.h"

#include <QElapsedTimer>

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace {

const cv::Scalar green(0, 255, 0);
const cv::Scalar red(0, 0, 255);
const cv::Scalar blue(255, 0, 0);
const cv::Scalar grey(128, 128, 128);

// A header that has no template counts as not found with confidence 0.
TemplateMatch findHeader(const cv::Mat &screen, const cv::Rect &region, const cv::Mat &templ)
{
    if (templ.empty())
        return TemplateMatch();
    return findTemplate(screen(region), templ, 0.7, 0.5);
}

void drawSlotLabel(cv::Mat &image, const cv::Rect &slot, const QString &text,
                   const cv::Scalar &color)
{
    cv::putText(image, text.toStdString(), cv::Point(slot.x + 2, slot.y + 12),
                cv::FONT_HERSHEY_SIMPLEX, 0.3, color, 1, cv::LINE_8);
}

} // namespace

bool LobbyDetector::loadTemplates(const QString &templateDir)
{
    loadDetectorTemplate(m_headerTemplate, templateDir + QStringLiteral("/lobby_header.png"),
                         QStringLiteral("lobby header"));
    loadDetectorTemplate(m_coachHeaderTemplate,
                         templateDir + QStringLiteral("/lobby_coach_header.png"),
                         QStringLiteral("lobby coach header"));
    loadDetectorTemplate(m_occupiedSlotTemplate, templateDir + QStringLiteral("/slot_occupied.png"),
                         QStringLiteral("occupied slot"));
    loadDetectorTemplate(m_emptySlotTemplate, templateDir + QStringLiteral("/slot_empty.png"),
                         QStringLiteral("empty slot"));
    return !m_headerTemplate.empty() || !m_coachHeaderTemplate.empty()
        || !m_occupiedSlotTemplate.empty() || !m_emptySlotTemplate.empty();
}

bool LobbyDetector::isInLobby(const cv::Mat &screen)
{
    QElapsedTimer clock;
    if (isTestModeEnabled())
        clock.start();
    if (screen.empty())
        return false;
    if (m_headerTemplate.empty() && m_coachHeaderTemplate.empty()) {
        logWarn(QStringLiteral("No lobby header templates loaded, cannot detect lobby"));
        return false;
    }
    try {
        const int halfWidth = int(screen.cols * 0.5);
        const int regionOriginX = screen.cols - halfWidth;
        const TemplateMatch header = findHeader(
            screen, cv::Rect(regionOriginX, 0, halfWidth, int(screen.rows * 0.3)), m_headerTemplate);
        const TemplateMatch coach = findHeader(
            screen, cv::Rect(regionOriginX, 0, halfWidth, int(screen.rows * 0.6)),
            m_coachHeaderTemplate);
        const double best = std::max(header.confidence, coach.confidence);

        if (header.center.x < 0 || coach.center.x < 0) {
            logTestResult(QStringLiteral("LobbyDetector"), false, best,
                          QStringLiteral("Regular: %1%, Coach: %2% - took %3ms")
                              .arg(int(header.confidence * 100))
                              .arg(int(coach.confidence * 100))
                              .arg(clock.elapsed()));
            return false;
        }

        const QString summary =
            QStringLiteral("Both headers detected - Regular: %1 at (%2, %3), Coach: %4 at (%5, %6)")
                .arg(header.confidence)
                .arg(header.center.x + regionOriginX)
                .arg(header.center.y)
                .arg(coach.confidence)
                .arg(coach.center.x + regionOriginX)
                .arg(coach.center.y);
        logInfo(QStringLiteral("Lobby detected! %1").arg(summary));

        // The slots lie between the bottom of the header and the top of the coach header, inset
        // from the header's ends.
        const cv::Rect &top = header.box;
        const int inset = top.width / 25;
        calculateSlotRegions(cv::Rect(top.x + regionOriginX + inset, top.y + top.height,
                                      top.width - 2 * inset, coach.box.y - (top.y + top.height)));

        if (isTestModeEnabled()) {
            const qint64 tookMs = clock.elapsed();
            cv::Mat annotated = screen.clone();
            drawDetection(annotated, header.box + cv::Point(regionOriginX, 0),
                          QStringLiteral("Regular Header"), header.confidence, blue);
            drawDetection(annotated, coach.box + cv::Point(regionOriginX, 0),
                          QStringLiteral("Coach Header"), coach.confidence, green);
            const QList<cv::Rect> regions = slotRegions();
            for (int i = 0; i < regions.size(); ++i) {
                const cv::Scalar &color = i < 5 ? green : red;
                cv::rectangle(annotated, regions[i], color, 1, cv::LINE_8);
                drawSlotLabel(annotated, regions[i], QStringLiteral("Slot %1").arg(i), color);
            }
            saveDebugImage(annotated, QStringLiteral("lobby_detected"));
            logTestResult(QStringLiteral("LobbyDetector"), true, best,
                          QStringLiteral("%1 - took %2ms").arg(summary).arg(tookMs));
        }
        return true;
    } catch (const cv::Exception &error) {
        logError(QStringLiteral("Error detecting lobby: %1").arg(QString::fromUtf8(error.what())));
        return false;
    }
}

QList<cv::Rect> LobbyDetector::slotRegions() const
{
    const std::lock_guard<std::mutex> lock(m_slotMutex);
    return m_slotRegions;
}

bool LobbyDetector::slotRegionsCalculated() const
{
    const std::lock_guard<std::mutex> lock(m_slotMutex);
    return m_slotRegionsCalculated;
}

void LobbyDetector::setSlotRegions(const QList<cv::Rect> &regions, bool calculated)
{
    const std::lock_guard<std::mutex> lock(m_slotMutex);
    m_slotRegions = regions;
    m_slotRegionsCalculated = calculated;
}

void LobbyDetector::calculateSlotRegions(const cv::Rect &slotArea)
{
    QList<cv::Rect> regions;
    if (m_emptySlotTemplate.empty()) {
        logWarn(QStringLiteral("Empty slot template not loaded, cannot calculate slot regions"));
        setSlotRegions(regions, false);
        return;
    }
    const int rowGap = slotArea.height / 25;
    const int columnGap = slotArea.height / 30;
    const int slotWidth = (slotArea.width - columnGap) / 2;
    const int slotHeight = (slotArea.height - 4 * rowGap) / 5;
    const int top = slotArea.y + rowGap / 2;
    for (const int x : {slotArea.x, slotArea.x + slotWidth + columnGap}) {
        for (int row = 0; row < 5; ++row)
            regions.append(cv::Rect(x, top + row * (slotHeight + rowGap), slotWidth, slotHeight));
    }
    setSlotRegions(regions, true);
    logDebug(QStringLiteral("Calculated %1 slot regions").arg(regions.size()));
}

int LobbyDetector::countOccupiedSlots(const cv::Mat &screen) const
{
    QElapsedTimer clock;
    if (isTestModeEnabled())
        clock.start();
    if (screen.empty())
        return 0;
    if (m_emptySlotTemplate.empty()) {
        logWarn(QStringLiteral("Empty slot template not loaded, cannot count slots"));
        return 0;
    }
    const QList<cv::Rect> regions = slotRegions();
    if (!slotRegionsCalculated() || regions.isEmpty()) {
        logWarn(QStringLiteral("Slot regions not calculated, call isInLobby first"));
        return 0;
    }
    try {
        const bool testMode = isTestModeEnabled();
        cv::Mat annotated = testMode ? screen.clone() : cv::Mat();
        const cv::Rect bounds(0, 0, screen.cols, screen.rows);
        int occupied = 0;
        for (int i = 0; i < regions.size(); ++i) {
            const cv::Rect slot = regions[i] & bounds;
            if (slot.area() <= 0)
                continue;
            const double score = findTemplate(screen(slot), m_emptySlotTemplate, 0.25, 0.5).confidence;
            const bool taken = score < 0.25; // a NaN score is not taken
            occupied += taken;
            if (testMode) {
                const cv::Scalar &color = taken ? green : grey;
                cv::rectangle(annotated, regions[i], color, 2, cv::LINE_8);
                drawSlotLabel(annotated, regions[i],
                              QStringLiteral("%1%2:%3 (%4%)")
                                  .arg(i < 5 ? QStringLiteral("L") : QStringLiteral("R"))
                                  .arg(i < 5 ? i : i - 5)
                                  .arg(taken ? QStringLiteral("OCC") : QStringLiteral("EMPTY"))
                                  .arg(int(score * 100)),
                              color);
            }
        }
        logDebug(QStringLiteral("Counted %1 occupied slots").arg(occupied));
        if (testMode) {
            saveDebugImage(annotated, QStringLiteral("slots_count_%1").arg(occupied));
            logTestResult(QStringLiteral("SlotCounter"), true, occupied / 10.0,
                          QStringLiteral("%1 occupied slots - took %2ms").arg(occupied).arg(clock.elapsed()));
        }
        return occupied;
    } catch (const cv::Exception &error) {
        logError(QStringLiteral("Error counting slots: %1").arg(QString::fromUtf8(error.what())));
        return 0;
    }
}
