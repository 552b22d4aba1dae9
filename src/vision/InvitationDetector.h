#pragma once

#include "TemplateMatcher.h"

#include <QString>

#include <opencv2/core.hpp>

// Recognises the game's lobby-invitation popup in a screen image and finds its accept button, at
// the size the game draws its interface. The templates are loaded once; detections only read
// them, so they may run on a worker thread.
class InvitationDetector
{
public:
    struct Invitation
    {
        bool visible = false;
        cv::Point acceptButton{-1, -1}; // screen-image coordinates; (-1, -1) when not found
    };

    bool loadTemplates(const QString &templateDir);
    bool detectInvitation(const cv::Mat &screen) const;
    // The accept button's centre in screen-image coordinates, or (-1, -1). It is looked for only
    // inside the popup, where the popup picture holds it, so without a popup there is none.
    cv::Point findAcceptButton(const cv::Mat &screen) const;
    // Both answers from one search for the popup, with the log lines of both calls.
    Invitation detect(const cv::Mat &screen) const;

    // Both searches look at the central 60 % of the screen in each direction.
    static cv::Rect searchRegion(const cv::Size &screen);

private:
    enum class Report { Logged, Quietly };

    Invitation detect(const cv::Mat &screen, bool withButton, Report popupReport = Report::Logged) const;
    // The popup in screen-image coordinates, with its log and test-mode lines unless quietly.
    // `centre`: the search region of `screen` in grey.
    bool findPopup(const cv::Mat &screen, const cv::Mat &centre, TemplateMatch &popup,
                   Report report) const;
    cv::Point acceptButtonIn(const cv::Mat &screen, const cv::Mat &centre,
                             const TemplateMatch &popup) const;

    cv::Mat m_popupTemplate;
    cv::Mat m_acceptTemplate;
    cv::Rect m_acceptInPopup; // where the popup picture holds the button; empty if it does not
};
