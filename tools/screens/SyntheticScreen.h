#pragma once

#include <opencv2/core.hpp>

#include <array>
#include <cstdint>
#include <optional>

// Game-like frames for testing and benchmarking the lobby detectors: a busy main-menu background,
// the invitation popup over it, or the lobby with its ten player slots, as BGR images (CV_8UC3)
// the size of a game window, from 1280 x 720 to 3840 x 2160.
//
// The pictures drawn are the template pictures themselves, read from ":/templates/..." (link
// corvanta_resources into the program), scaled by the interface scale. Everything is a pure
// function of the settings: the same settings and seed draw the same pixels, and the geometry
// accessors answer without rendering. Rendering, and the geometry that depends on the pictures'
// sizes, throw std::runtime_error when the pictures are missing from the resources. The const
// functions may run on several threads at once.
//
//     SyntheticScreen screen(cv::Size(1920, 1080));
//     screen.setNoise(8);
//     const cv::Mat invitation = screen.renderInvitation();
//     const cv::Point accept = screen.acceptCentre();
//     const cv::Mat lobby = screen.renderLobby({true, false, true, ...});
//     const SyntheticScreen::SlotRects slots = screen.slotRects();
//
// Degradations are applied in the order a capture goes through them: brightness, blur, noise,
// JPEG compression.
class SyntheticScreen
{
public:
    static constexpr int SlotCount = 10;
    // Slot order everywhere: the left column's rows 0 to 4, then the right column's.
    using SlotMask = std::array<bool, SlotCount>;
    using SlotRects = std::array<cv::Rect, SlotCount>;

    static constexpr int MinWidth = 1280;
    static constexpr int MinHeight = 720;
    static constexpr int MaxWidth = 3840;
    static constexpr int MaxHeight = 2160;

    // Throws std::invalid_argument for a size outside 1280 x 720 to 3840 x 2160.
    explicit SyntheticScreen(cv::Size size);

    cv::Size size() const;

    // Interface scale, above 0 and at most 4; 1.0 (default) draws the pictures at their own size.
    // Throws std::invalid_argument outside that range.
    void setScale(double scale);
    // Standard deviation of the Gaussian noise added to every channel; 0 (default) adds none.
    void setNoise(double sigma);
    // Size of the Gaussian blur kernel; 0 or 1 (default 0) blurs nothing, an even size is taken as
    // the next odd one.
    void setBlur(int kernelSize);
    // Added to every channel, clamped to -100..100; default 0.
    void setBrightness(int offset);
    // Quality (1..100) of a JPEG encode and decode round trip; 0 (default) skips it.
    void setJpegQuality(int quality);
    // Chooses the background and the noise; default 1.
    void setSeed(std::uint64_t seed);
    // Top-left corner of the popup in screen pixels (it may reach past the screen's edges);
    // std::nullopt (default) centres it.
    void setPopupPosition(std::optional<cv::Point> topLeft);
    // Top-left corner of the lobby header in screen pixels; std::nullopt (default) centres it in
    // the right half of the screen (moved left where the half is too narrow for it), 10 % of
    // the height from the top.
    void setHeaderPosition(std::optional<cv::Point> topLeft);
    // A notification toast of another program drawn over everything, in screen pixels;
    // std::nullopt (default) draws none.
    void setToast(std::optional<cv::Rect> area);

    // The game's main menu with nothing over it.
    cv::Mat renderBackground() const;
    // The main menu dimmed, with the invitation popup at popupRect().
    cv::Mat renderInvitation() const;
    // The lobby: header, coach bar and the ten slots, `occupied` ones taken.
    cv::Mat renderLobby(const SlotMask &occupied) const;

    // Where the popup is drawn, unclipped.
    cv::Rect popupRect() const;
    // The accept button inside the popup, and its centre: the point a click has to hit.
    cv::Rect acceptRect() const;
    cv::Point acceptCentre() const;

    // Where the header and the coach bar are drawn (their pictures scaled by the interface scale).
    cv::Rect headerRect() const;
    cv::Rect coachRect() const;
    // The slot rectangles the product derives from the drawn header and coach bar; the slots are
    // drawn exactly there, so at any interface scale they are where the game would show them.
    SlotRects slotRects() const;

    // The ten slot rectangles the product derives from the header's box and the top of the
    // coach bar's.
    static SlotRects slotRectsFor(const cv::Rect &headerBox, int coachTop);

private:
    cv::Mat drawMenu() const;
    cv::Mat finish(cv::Mat frame) const;
    cv::Size scaled(int width, int height) const;

    cv::Size m_size;
    double m_scale = 1.0;
    double m_noise = 0;
    int m_blur = 0;
    int m_brightness = 0;
    int m_jpegQuality = 0;
    std::uint64_t m_seed = 1;
    std::optional<cv::Point> m_popupPosition;
    std::optional<cv::Point> m_headerPosition;
    std::optional<cv::Rect> m_toast;
};
