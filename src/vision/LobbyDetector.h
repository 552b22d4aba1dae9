#pragma once

#include <QList>
#include <QString>

#include <opencv2/core.hpp>

#include <mutex>

// Recognises the game's lobby screen by its two header bars in the right half of the screen,
// derives the ten player slots from where the headers are, and counts the slots that are taken,
// at the size the game draws its interface.
//
// Detection runs on a worker thread while the overlay reads the slot regions on the GUI thread:
// the regions are replaced whole under a lock, so a reader gets either the old list or the new.
class LobbyDetector
{
public:
    bool loadTemplates(const QString &templateDir);
    // True when both headers are visible; then the slot regions have been recomputed.
    bool isInLobby(const cv::Mat &screen);
    // 0 to 10; needs a successful isInLobby on this or an earlier image.
    int countOccupiedSlots(const cv::Mat &screen) const;
    // `scale`: the size the interface is drawn at, relative to the pictures.
    void calculateSlotRegions(const cv::Rect &slotArea, double scale = 1.0);

    // Left column top to bottom (0 to 4), then the right column (5 to 9), in screen pixels.
    QList<cv::Rect> slotRegions() const;
    bool slotRegionsCalculated() const;

    // The slots lie between the bottom of the header's box and the top of the coach bar's, inset
    // from the header's ends.
    static cv::Rect slotAreaBetween(const cv::Rect &headerBox, int coachTop);
    // The ten slots of that area, in the order of slotRegions().
    static QList<cv::Rect> slotsIn(const cv::Rect &slotArea);

private:
    void setSlotRegions(const QList<cv::Rect> &regions, bool calculated, double scale);

    mutable std::mutex m_slotMutex;
    QList<cv::Rect> m_slotRegions;
    bool m_slotRegionsCalculated = false;
    double m_slotScale = 1.0; // the interface's size where the regions were found

    cv::Mat m_headerTemplate;
    cv::Mat m_coachHeaderTemplate;
    cv::Mat m_occupiedSlotTemplate; // a taken slot looks more like it than like the empty one
    cv::Mat m_emptySlotTemplate;
};
