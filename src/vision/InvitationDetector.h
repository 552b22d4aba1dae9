#pragma once

#include <QString>

#include <opencv2/core.hpp>

// Recognises the game's lobby-invitation popup in a screen image and finds its accept button.
// The templates are loaded once; detections only read them, so they may run on a worker thread.
class InvitationDetector
{
public:
    bool loadTemplates(const QString &templateDir);
    bool detectInvitation(const cv::Mat &screen) const;
    // The accept button's centre in screen-image coordinates, or (-1, -1).
    cv::Point findAcceptButton(const cv::Mat &screen) const;

    // Both searches look at the central 60 % of the screen in each direction.
    static cv::Rect searchRegion(const cv::Size &screen);

private:
    cv::Mat m_popupTemplate;
    cv::Mat m_acceptTemplate;
};
