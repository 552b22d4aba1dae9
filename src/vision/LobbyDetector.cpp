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

// A slot is empty when it looks like the empty picture this much; taken only when it also looks
// more like the taken picture than the empty one, and at least this much like it. A slot that
// looks like neither is covered by something else.
constexpr double EmptyThreshold = 0.25;
constexpr double TakenThreshold = 0.4;

// A header that has no template counts as not found with confidence 0.
TemplateMatch findHeader(const cv::Mat &region, const cv::Mat &templ,
                         const std::vector<double> &scales)
{
    if (templ.empty())
        return TemplateMatch();
    return findScaledTemplate(region, templ, 0.7, scales, MatchPrecision::Pixel);
}

// The right half of the screen down to `heightShare` of its height, grown where the lobby drawn at
// `largestScale` would reach past it (on a 1920 x 1080 screen at scale 1 it takes the right half).
cv::Rect lobbyRegion(const cv::Size &screen, double heightShare, double largestScale)
{
    const int width = std::min(screen.width, std::max(int(screen.width * 0.5),
                                                      cvCeil(960 * largestScale)));
    const int height = std::min(screen.height, std::max(int(screen.height * heightShare),
                                                        cvCeil(1080 * heightShare * largestScale)));
    return cv::Rect(screen.width - width, 0, width, height);
}

cv::Mat atScale(const cv::Mat &templ, double scale)
{
    if (scale == 1.0 || templ.empty())
        return templ;
    cv::Mat resized;
    cv::resize(templ, resized,
               cv::Size(std::max(1, cvRound(templ.cols * scale)), std::max(1, cvRound(templ.rows * scale))),
               0, 0, scale < 1.0 ? cv::INTER_AREA : cv::INTER_LINEAR);
    return resized;
}

void drawSlotLabel(cv::Mat &image, const cv::Rect &slot, const QString &text,
                   const cv::Scalar &color)
{
    cv::putText(image, text.toStdString(), cv::Point(slot.x + 2, slot.y + 12),
                cv::FONT_HERSHEY_SIMPLEX, 0.3, color, 1, cv::LINE_8);
}

enum class SlotState { Empty, Taken, Covered };

struct SlotLook
{
    SlotState state = SlotState::Empty;
    double emptyScore = 0.0;
};

SlotLook lookAt(const cv::Mat &slot, const cv::Mat &emptyPicture, const cv::Mat &takenPicture)
{
    SlotLook look;
    look.emptyScore = findTemplate(slot, emptyPicture, EmptyThreshold, 0.5).confidence;
    if (!(look.emptyScore < EmptyThreshold)) // a NaN score is not taken
        return look;
    const double takenScore = takenPicture.empty()
        ? 1.0
        : findTemplate(slot, takenPicture, TakenThreshold, 0.5).confidence;
    look.state = takenScore >= TakenThreshold && takenScore > look.emptyScore ? SlotState::Taken
                                                                               : SlotState::Covered;
    return look;
}

void drawSlot(cv::Mat &image, const cv::Rect &slot, int index, const SlotLook &look)
{
    static const cv::Scalar orange(0, 140, 255);
    const cv::Scalar &color = look.state == SlotState::Taken ? green
        : look.state == SlotState::Covered                  ? orange
                                                            : grey;
    const QString state = look.state == SlotState::Taken ? QStringLiteral("OCC")
        : look.state == SlotState::Covered               ? QStringLiteral("COVERED")
                                                         : QStringLiteral("EMPTY");
    cv::rectangle(image, slot, color, 2, cv::LINE_8);
    drawSlotLabel(image, slot,
                  QStringLiteral("%1%2:%3 (%4%)")
                      .arg(index < 5 ? QStringLiteral("L") : QStringLiteral("R"))
                      .arg(index < 5 ? index : index - 5)
                      .arg(state)
                      .arg(int(look.emptyScore * 100)),
                  color);
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
        const std::vector<double> guesses = interfaceScaleGuesses(screen.rows);
        const cv::Rect headerRegion =
            lobbyRegion(screen.size(), 0.3, *std::max_element(guesses.begin(), guesses.end()));
        const int regionOriginX = headerRegion.x;
        // Both bars are looked for in one grey copy of the right part of the screen, as far down
        // as the coach bar may lie.
        const int lowest = lobbyRegion(screen.size(), 0.6,
                                       *std::max_element(guesses.begin(), guesses.end())
                                           * (1.0 + ScaleRefinementRange))
                               .height;
        const cv::Mat upper = greyImage(screen(cv::Rect(regionOriginX, 0, headerRegion.width, lowest)));
        const TemplateMatch header =
            findHeader(upper(cv::Rect(0, 0, headerRegion.width, headerRegion.height)),
                       m_headerTemplate, guesses);
        // The coach bar is drawn at the header's size, and as far down as that size takes it;
        // without a header, at either guess.
        const int coachHeight = std::min(lowest, lobbyRegion(screen.size(), 0.6, header.scale).height);
        const TemplateMatch coach = findHeader(
            upper(cv::Rect(0, 0, headerRegion.width, coachHeight)), m_coachHeaderTemplate,
            m_headerTemplate.empty() ? guesses : std::vector<double>{header.scale});
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

        calculateSlotRegions(
            slotAreaBetween(header.box + cv::Point(regionOriginX, 0), coach.box.y), header.scale);

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

cv::Rect LobbyDetector::slotAreaBetween(const cv::Rect &headerBox, int coachTop)
{
    const int inset = headerBox.width / 25;
    const int top = headerBox.y + headerBox.height;
    return cv::Rect(headerBox.x + inset, top, headerBox.width - 2 * inset, coachTop - top);
}

QList<cv::Rect> LobbyDetector::slotsIn(const cv::Rect &slotArea)
{
    const int rowGap = slotArea.height / 25;
    const int columnGap = slotArea.height / 30;
    const int slotWidth = (slotArea.width - columnGap) / 2;
    const int slotHeight = (slotArea.height - 4 * rowGap) / 5;
    const int top = slotArea.y + rowGap / 2;
    QList<cv::Rect> slotList;
    for (const int x : {slotArea.x, slotArea.x + slotWidth + columnGap}) {
        for (int row = 0; row < 5; ++row)
            slotList.append(cv::Rect(x, top + row * (slotHeight + rowGap), slotWidth, slotHeight));
    }
    return slotList;
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

void LobbyDetector::setSlotRegions(const QList<cv::Rect> &regions, bool calculated, double scale)
{
    const std::lock_guard<std::mutex> lock(m_slotMutex);
    m_slotRegions = regions;
    m_slotRegionsCalculated = calculated;
    m_slotScale = scale;
}

void LobbyDetector::calculateSlotRegions(const cv::Rect &slotArea, double scale)
{
    QList<cv::Rect> regions;
    if (m_emptySlotTemplate.empty()) {
        logWarn(QStringLiteral("Empty slot template not loaded, cannot calculate slot regions"));
        setSlotRegions(regions, false, scale);
        return;
    }
    regions = slotsIn(slotArea);
    setSlotRegions(regions, true, scale);
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
    QList<cv::Rect> regions;
    bool calculated = false;
    double scale = 1.0;
    {
        const std::lock_guard<std::mutex> lock(m_slotMutex);
        regions = m_slotRegions;
        calculated = m_slotRegionsCalculated;
        scale = m_slotScale;
    }
    if (!calculated || regions.isEmpty()) {
        logWarn(QStringLiteral("Slot regions not calculated, call isInLobby first"));
        return 0;
    }
    try {
        const bool testMode = isTestModeEnabled();
        cv::Mat annotated = testMode ? screen.clone() : cv::Mat();
        const cv::Mat emptyPicture = atScale(m_emptySlotTemplate, scale);
        const cv::Mat takenPicture = atScale(m_occupiedSlotTemplate, scale);
        const cv::Rect bounds(0, 0, screen.cols, screen.rows);
        int occupied = 0;
        for (int i = 0; i < regions.size(); ++i) {
            const cv::Rect slot = regions[i] & bounds;
            if (slot.area() <= 0)
                continue;
            const SlotLook look = lookAt(screen(slot), emptyPicture, takenPicture);
            occupied += look.state == SlotState::Taken;
            if (testMode)
                drawSlot(annotated, regions[i], i, look);
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
