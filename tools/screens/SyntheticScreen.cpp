#include "SyntheticScreen.h"

#include "LobbyDetector.h"
#include "TemplateArt.h"

#include <QImage>
#include <QString>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Height of the slot area between the header's bottom and the coach bar's top, at scale 1. With
// it the product's derivation gives 422 x 63 slots: the slot pictures' own height and nearly their
// width, so an empty slot still matches its picture. No height avoids an overlap: the derivation
// starts half a row gap below the header and does not count that half gap in the area, so the
// last row always reaches a few pixels into the coach bar (3 here, the fewest for 63-pixel
// rows; up to half a row gap at other scales). The game shows its coach bar whole, so the bar is
// drawn over those rows of the last slots.
constexpr int SlotAreaHeight = 379;

struct Pictures
{
    cv::Mat popup;
    cv::Mat header;
    cv::Mat coach;
    cv::Mat occupied;
    cv::Mat empty;
};

cv::Mat loadPicture(const char *name)
{
    const QString path = QStringLiteral(":/templates/") + QLatin1String(name);
    // RGBA8888 has the same byte order on every machine, unlike ARGB32.
    const QImage image = QImage(path).convertToFormat(QImage::Format_RGBA8888);
    if (image.isNull())
        throw std::runtime_error("cannot read " + path.toStdString()
                                 + " (is corvanta_resources linked into the program?)");
    const cv::Mat rgba(image.height(), image.width(), CV_8UC4,
                       const_cast<uchar *>(image.constBits()), size_t(image.bytesPerLine()));
    cv::Mat bgra;
    cv::cvtColor(rgba, bgra, cv::COLOR_RGBA2BGRA);
    return bgra;
}

const Pictures &pictures()
{
    static const Pictures loaded{loadPicture("invitation_popup.png"),
                                 loadPicture("lobby_header.png"),
                                 loadPicture("lobby_coach_header.png"),
                                 loadPicture("slot_occupied.png"), loadPicture("slot_empty.png")};
    return loaded;
}

// splitmix64: turns the seed and a stream number into a well-mixed RNG state, so seeds 1 and 2
// do not start out alike and each part of the drawing has its own stream. cv::RNG treats a zero
// state as a fixed default, so zero is never handed to it.
std::uint64_t rngState(std::uint64_t seed, std::uint64_t stream)
{
    std::uint64_t z = seed + (stream + 1) * 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    return z != 0 ? z : 1;
}

cv::Rect frameRect(const cv::Mat &frame)
{
    return cv::Rect(0, 0, frame.cols, frame.rows);
}

// Draws a BGRA picture resized to `target`, blended by its alpha; what falls outside the frame is
// cut off.
void drawPicture(cv::Mat &frame, const cv::Mat &picture, const cv::Rect &target)
{
    if (target.width <= 0 || target.height <= 0)
        return;
    const cv::Rect visible = target & frameRect(frame);
    if (visible.empty())
        return;
    cv::Mat resized = picture;
    if (target.size() != picture.size()) {
        const bool shrinking = target.width <= picture.cols && target.height <= picture.rows;
        cv::resize(picture, resized, target.size(), 0, 0,
                   shrinking ? cv::INTER_AREA : cv::INTER_LINEAR);
    }
    const cv::Mat source = resized(visible - target.tl());
    cv::Mat destination = frame(visible);
    for (int y = 0; y < source.rows; ++y) {
        const auto *from = source.ptr<cv::Vec4b>(y);
        auto *to = destination.ptr<cv::Vec3b>(y);
        for (int x = 0; x < source.cols; ++x) {
            const int alpha = from[x][3];
            for (int c = 0; c < 3; ++c)
                to[x][c] = uchar((from[x][c] * alpha + to[x][c] * (255 - alpha) + 127) / 255);
        }
    }
}

enum class Texture { Hatched, Plain };

// A translucent panel whose colour runs from `top` to `bottom`. What is under it stays visible,
// darkened; a hatched panel also carries faint diagonal lines of its own, so that even a nearly
// opaque one is never flat.
void shade(cv::Mat &frame, const cv::Rect &box, const cv::Scalar &top, const cv::Scalar &bottom,
           double opacity, Texture texture = Texture::Hatched)
{
    const cv::Rect visible = box & frameRect(frame);
    if (visible.empty())
        return;
    const double lift = texture == Texture::Hatched ? 8 * opacity : 0;
    for (int y = visible.y; y < visible.y + visible.height; ++y) {
        const double t = box.height > 1 ? double(y - box.y) / (box.height - 1) : 0.0;
        const cv::Scalar colour = top * (1 - t) + bottom * t;
        auto *row = frame.ptr<cv::Vec3b>(y);
        for (int x = visible.x; x < visible.x + visible.width; ++x) {
            const double line = (x + y) % 9 < 2 ? lift : 0;
            for (int c = 0; c < 3; ++c)
                row[x][c] = cv::saturate_cast<uchar>(row[x][c] * (1 - opacity) + colour[c] * opacity
                                                     + line);
        }
    }
}

void frameBox(cv::Mat &frame, const cv::Rect &box, const cv::Scalar &colour, int thickness)
{
    cv::rectangle(frame, box, colour, thickness, cv::LINE_AA);
}

// Hershey text sized by its cap height in pixels, with a drop shadow.
int textThickness(double capHeight)
{
    return std::max(1, int(std::lround(capHeight / 12.0)));
}

int textWidth(const std::string &line, double capHeight)
{
    int baseline = 0;
    return cv::getTextSize(line, cv::FONT_HERSHEY_DUPLEX, capHeight / 22.0,
                           textThickness(capHeight), &baseline)
        .width;
}

void text(cv::Mat &frame, const std::string &line, cv::Point origin, double capHeight,
          const cv::Scalar &colour)
{
    const double scale = capHeight / 22.0;
    const int thickness = textThickness(capHeight);
    cv::putText(frame, line, origin + cv::Point(1, 2), cv::FONT_HERSHEY_DUPLEX, scale,
                cv::Scalar(0, 0, 0), thickness, cv::LINE_AA);
    cv::putText(frame, line, origin, cv::FONT_HERSHEY_DUPLEX, scale, colour, thickness,
                cv::LINE_AA);
}

void centredText(cv::Mat &frame, const std::string &line, const cv::Rect &box, double capHeight,
                 const cv::Scalar &colour)
{
    const cv::Point origin(box.x + (box.width - textWidth(line, capHeight)) / 2,
                           box.y + (box.height + int(capHeight)) / 2);
    text(frame, line, origin, capHeight, colour);
}

// Grey bars standing in for lines of small print.
void fakeLines(cv::Mat &frame, cv::Point origin, int width, int lineHeight, int count, cv::RNG &rng,
               const cv::Scalar &colour)
{
    for (int i = 0; i < count; ++i) {
        const int length = int(width * rng.uniform(0.45, 1.0));
        const cv::Rect bar(origin.x, origin.y + i * lineHeight * 2, length, lineHeight);
        cv::rectangle(frame, bar, colour, cv::FILLED);
    }
}

// The backdrop of a game's menu: sky gradient, a glow, clouds, two mountain ranges, light streaks,
// embers and fine grain. Everything random comes from the seed.
cv::Mat drawScenery(cv::Size size, std::uint64_t seed)
{
    cv::RNG rng(rngState(seed, 1));
    const double unit = size.height / 1080.0;

    // Sky top, sky bottom and glow colours (BGR), dark like a game's menu.
    static const cv::Vec3f palettes[][3] = {
        {{38, 22, 12}, {70, 52, 30}, {210, 170, 90}},  // night blue, teal glow
        {{40, 14, 24}, {64, 34, 72}, {170, 90, 170}},  // violet dusk
        {{10, 16, 30}, {26, 40, 70}, {60, 140, 240}},  // ember red
        {{30, 30, 14}, {52, 62, 34}, {150, 220, 140}}, // swamp green
    };
    const cv::Vec3f *palette = palettes[rng.uniform(0, 4)];

    // Light is worked out at an eighth of the resolution and scaled up; the detail that has to be
    // sharp is drawn at full resolution afterwards.
    const cv::Size small((size.width + 7) / 8, (size.height + 7) / 8);
    cv::Mat cloudSeeds(7, 12, CV_32F);
    rng.fill(cloudSeeds, cv::RNG::UNIFORM, -1.0, 1.0);
    cv::Mat clouds;
    cv::resize(cloudSeeds, clouds, small, 0, 0, cv::INTER_CUBIC);
    const cv::Point2f glowCentre(float(rng.uniform(0.35, 0.85) * small.width),
                                 float(rng.uniform(0.15, 0.55) * small.height));
    const float glowRadius = float(rng.uniform(0.35, 0.6) * small.height);
    const float glowStrength = float(rng.uniform(0.3, 0.5));
    cv::Mat light(small, CV_8UC3);
    for (int y = 0; y < small.height; ++y) {
        const float t = float(y) / float(small.height - 1);
        const cv::Vec3f base = palette[0] * (1 - t) + palette[1] * t;
        auto *row = light.ptr<cv::Vec3b>(y);
        const float *cloud = clouds.ptr<float>(y);
        for (int x = 0; x < small.width; ++x) {
            const float dx = (x - glowCentre.x) / glowRadius;
            const float dy = (y - glowCentre.y) / glowRadius;
            const float glow = std::exp(-(dx * dx + dy * dy)) * glowStrength;
            const cv::Vec3f colour = base * (1.0f + 0.45f * cloud[x]) + palette[2] * glow;
            row[x] = cv::Vec3b(cv::saturate_cast<uchar>(colour[0]),
                               cv::saturate_cast<uchar>(colour[1]),
                               cv::saturate_cast<uchar>(colour[2]));
        }
    }
    cv::Mat frame;
    cv::resize(light, frame, size, 0, 0, cv::INTER_LINEAR);

    // Two mountain ranges, the far one lighter.
    for (int range = 0; range < 2; ++range) {
        const double baseLine = size.height * (range == 0 ? 0.62 : 0.78);
        const double roughness = size.height * (range == 0 ? 0.12 : 0.09);
        std::vector<cv::Point> ridge{cv::Point(-10, size.height + 10)};
        for (double x = -10; x < size.width + 120 * unit; x += rng.uniform(60.0, 170.0) * unit)
            ridge.emplace_back(int(x), int(baseLine - rng.uniform(0.0, 1.0) * roughness));
        ridge.emplace_back(size.width + 10, size.height + 10);
        const cv::Scalar colour = range == 0
            ? cv::Scalar(palette[1][0] * 0.75, palette[1][1] * 0.75, palette[1][2] * 0.75)
            : cv::Scalar(palette[0][0] * 0.45, palette[0][1] * 0.45, palette[0][2] * 0.45);
        cv::Mat layer = frame.clone();
        cv::fillPoly(layer, std::vector<std::vector<cv::Point>>{ridge}, colour, cv::LINE_AA);
        cv::addWeighted(layer, range == 0 ? 0.7 : 0.9, frame, range == 0 ? 0.3 : 0.1, 0, frame);
    }

    // Additive light: slanted streaks and floating embers.
    cv::Mat glowLayer = cv::Mat::zeros(size, CV_8UC3);
    const cv::Scalar glowColour(palette[2][0], palette[2][1], palette[2][2]);
    const int streaks = rng.uniform(5, 10);
    for (int i = 0; i < streaks; ++i) {
        const cv::Point from(rng.uniform(0, size.width), rng.uniform(0, size.height / 2));
        const double length = rng.uniform(0.2, 0.6) * size.width;
        const cv::Point to = from + cv::Point(int(length * 0.87), int(length * 0.5));
        cv::line(glowLayer, from, to, glowColour * rng.uniform(0.15, 0.35),
                 std::max(1, int(rng.uniform(1.0, 4.0) * unit)), cv::LINE_AA);
    }
    const int embers = rng.uniform(180, 320);
    for (int i = 0; i < embers; ++i) {
        const cv::Point at(rng.uniform(0, size.width), rng.uniform(0, size.height));
        cv::circle(glowLayer, at, std::max(1, int(rng.uniform(1.0, 3.5) * unit)),
                   glowColour * rng.uniform(0.3, 0.9), cv::FILLED, cv::LINE_AA);
    }
    cv::add(frame, glowLayer, frame);
    return frame;
}

// Fine grain over the scenery and the menu's own panels and shapes, the way games dither their
// menus: no patch of the screen is flat, which the matcher's normalised correlation needs.
void addGrain(cv::Mat &frame, std::uint64_t seed)
{
    cv::RNG rng(rngState(seed, 5));
    cv::Mat grainSeeds((frame.rows + 2) / 3, (frame.cols + 2) / 3, CV_16SC1);
    rng.fill(grainSeeds, cv::RNG::UNIFORM, -8, 9);
    cv::Mat grain;
    cv::resize(grainSeeds, grain, frame.size(), 0, 0, cv::INTER_LINEAR);
    cv::Mat grain3;
    cv::merge(std::vector<cv::Mat>{grain, grain, grain}, grain3);
    cv::add(frame, grain3, frame, cv::noArray(), CV_8UC3);
}

// The menu's top bar: logo, sections, and the player's corner.
void drawTopBar(cv::Mat &frame)
{
    const double unit = frame.rows / 1080.0;
    const int barHeight = int(70 * unit);
    shade(frame, cv::Rect(0, 0, frame.cols, barHeight), cv::Scalar(22, 18, 14), cv::Scalar(8, 6, 5),
          0.85);
    cv::rectangle(frame, cv::Rect(0, barHeight, frame.cols, std::max(1, int(2 * unit))),
                  cv::Scalar(80, 90, 105), cv::FILLED);

    const cv::Point logo(int(44 * unit), barHeight / 2);
    const int r = int(20 * unit);
    const std::vector<cv::Point> diamond{logo + cv::Point(0, -r), logo + cv::Point(r, 0),
                                         logo + cv::Point(0, r), logo + cv::Point(-r, 0)};
    cv::fillConvexPoly(frame, diamond, cv::Scalar(90, 180, 225), cv::LINE_AA);
    cv::circle(frame, logo, r / 3, cv::Scalar(20, 30, 40), cv::FILLED, cv::LINE_AA);

    const char *sections[] = {"PLAY", "HEROES", "WATCH", "LEARN", "STORE"};
    int x = int(100 * unit);
    for (int i = 0; i < 5; ++i) {
        const cv::Scalar colour = i == 0 ? cv::Scalar(235, 240, 245) : cv::Scalar(150, 160, 170);
        text(frame, sections[i], cv::Point(x, barHeight / 2 + int(10 * unit)), 20 * unit, colour);
        if (i == 0)
            cv::rectangle(frame,
                          cv::Rect(x, barHeight - int(6 * unit), int(62 * unit), int(4 * unit)),
                          cv::Scalar(90, 180, 225), cv::FILLED);
        x += textWidth(sections[i], 20 * unit) + int(44 * unit);
    }

    // Currency, a clock, the profile picture and a gear.
    const int right = frame.cols - int(40 * unit);
    cv::circle(frame, cv::Point(right, barHeight / 2), int(16 * unit), cv::Scalar(150, 160, 170),
               std::max(1, int(3 * unit)), cv::LINE_AA);
    for (int spoke = 0; spoke < 8; ++spoke) {
        const double angle = spoke * CV_PI / 4;
        const cv::Point tip(right + int(std::cos(angle) * 22 * unit),
                            barHeight / 2 + int(std::sin(angle) * 22 * unit));
        cv::line(frame, cv::Point(right, barHeight / 2), tip, cv::Scalar(150, 160, 170),
                 std::max(1, int(4 * unit)), cv::LINE_AA);
    }
    cv::circle(frame, cv::Point(right, barHeight / 2), int(9 * unit), cv::Scalar(20, 18, 16),
               cv::FILLED, cv::LINE_AA);
    const cv::Rect avatar(right - int(110 * unit), int(12 * unit), int(46 * unit), int(46 * unit));
    shade(frame, avatar, cv::Scalar(150, 115, 80), cv::Scalar(80, 60, 40), 1.0);
    cv::circle(frame, (avatar.tl() + avatar.br()) / 2, int(14 * unit), cv::Scalar(200, 170, 130),
               cv::FILLED, cv::LINE_AA);
    frameBox(frame, avatar, cv::Scalar(200, 210, 220), std::max(1, int(2 * unit)));
    text(frame, "21:47", cv::Point(right - int(200 * unit), barHeight / 2 + int(10 * unit)),
         18 * unit, cv::Scalar(170, 180, 190));
    cv::circle(frame, cv::Point(right - int(350 * unit), barHeight / 2), int(12 * unit),
               cv::Scalar(60, 190, 235), cv::FILLED, cv::LINE_AA);
    text(frame, "2,450", cv::Point(right - int(328 * unit), barHeight / 2 + int(10 * unit)),
         18 * unit, cv::Scalar(170, 210, 230));
}

// The main menu's own panels: news cards on the left and the big match button.
void drawMainMenu(cv::Mat &frame, std::uint64_t seed)
{
    cv::RNG rng(rngState(seed, 2));
    const double unit = frame.rows / 1080.0;
    const char *titles[] = {"PATCH NOTES", "WEEKEND CUP", "NEW ARENA"};
    for (int i = 0; i < 3; ++i) {
        const cv::Rect card(int(40 * unit), int((110 + i * 215) * unit), int(430 * unit),
                            int(190 * unit));
        const cv::Scalar tint(rng.uniform(40, 110), rng.uniform(30, 90), rng.uniform(20, 80));
        shade(frame, card, tint, cv::Scalar(10, 10, 12), 0.8);
        frameBox(frame, card, cv::Scalar(85, 95, 110), std::max(1, int(2 * unit)));
        const cv::Rect picture(card.x + int(14 * unit), card.y + int(14 * unit), int(130 * unit),
                               card.height - int(28 * unit));
        shade(frame, picture, tint * 2.2, tint * 0.6, 0.9);
        cv::circle(frame, (picture.tl() + picture.br()) / 2, int(38 * unit), tint * 3,
                   std::max(1, int(5 * unit)), cv::LINE_AA);
        text(frame, titles[i], cv::Point(picture.br().x + int(16 * unit), card.y + int(44 * unit)),
             20 * unit, cv::Scalar(225, 232, 240));
        fakeLines(frame, cv::Point(picture.br().x + int(16 * unit), card.y + int(70 * unit)),
                  int(240 * unit), std::max(2, int(7 * unit)), 5, rng, cv::Scalar(120, 128, 138));
    }

    const cv::Rect play(frame.cols - int(400 * unit), frame.rows - int(150 * unit),
                        int(360 * unit), int(96 * unit));
    shade(frame, play, cv::Scalar(60, 90, 200), cv::Scalar(20, 30, 110), 0.95);
    frameBox(frame, play, cv::Scalar(120, 170, 240), std::max(1, int(3 * unit)));
    centredText(frame, "FIND MATCH", play, 30 * unit, cv::Scalar(230, 240, 255));
    shade(frame, cv::Rect(0, frame.rows - int(40 * unit), frame.cols, int(40 * unit)),
          cv::Scalar(14, 12, 10), cv::Scalar(6, 5, 4), 0.8);
    text(frame, "FRIENDS ONLINE  4", cv::Point(int(40 * unit), frame.rows - int(13 * unit)),
         15 * unit, cv::Scalar(140, 190, 150));
}

// The lobby's surroundings: a dark panel behind the teams and, where there is room, the lobby's
// settings and chat on the left.
void drawLobbyChrome(cv::Mat &frame, const cv::Rect &teams, std::uint64_t seed)
{
    cv::RNG rng(rngState(seed, 3));
    const double unit = frame.rows / 1080.0;
    const int margin = int(24 * unit);
    const cv::Rect panel(teams.x - margin, teams.y - margin, teams.width + 2 * margin,
                         teams.height + 2 * margin);
    shade(frame, panel, cv::Scalar(30, 24, 20), cv::Scalar(12, 10, 8), 0.78);
    frameBox(frame, panel, cv::Scalar(75, 85, 100), std::max(1, int(2 * unit)));

    // Leaving and starting, under the panel where there is room.
    const cv::Size button(int(220 * unit), int(64 * unit));
    const int buttonTop = panel.br().y + int(24 * unit);
    if (buttonTop + button.height < frame.rows - int(60 * unit)) {
        const cv::Rect start(panel.br().x - button.width, buttonTop, button.width, button.height);
        const cv::Rect leave(start.x - button.width - int(20 * unit), buttonTop, button.width,
                             button.height);
        shade(frame, start, cv::Scalar(150, 110, 50), cv::Scalar(80, 50, 20), 0.95);
        frameBox(frame, start, cv::Scalar(220, 180, 120), std::max(1, int(2 * unit)));
        centredText(frame, "START GAME", start, 20 * unit, cv::Scalar(245, 240, 230));
        shade(frame, leave, cv::Scalar(60, 58, 56), cv::Scalar(30, 28, 26), 0.95);
        frameBox(frame, leave, cv::Scalar(120, 124, 130), std::max(1, int(2 * unit)));
        centredText(frame, "LEAVE", leave, 20 * unit, cv::Scalar(200, 204, 210));
    }

    const int left = frame.cols * 5 / 100;
    const int right = std::min(panel.x - int(40 * unit), frame.cols * 40 / 100);
    // Below this width the settings' names and values would run into each other.
    if (right - left < int(420 * unit))
        return;
    const int top = int(110 * unit);
    const cv::Rect settings(left, top, right - left, int(330 * unit));
    shade(frame, settings, cv::Scalar(34, 28, 22), cv::Scalar(14, 12, 10), 0.8);
    frameBox(frame, settings, cv::Scalar(75, 85, 100), std::max(1, int(2 * unit)));
    text(frame, "PRACTICE LOBBY", settings.tl() + cv::Point(int(20 * unit), int(46 * unit)),
         28 * unit, cv::Scalar(150, 210, 235));
    const char *rows[] = {"SERVER", "MODE", "OBSERVERS", "PAUSE", "CHEATS"};
    const char *values[] = {"EU WEST", "PRACTICE", "ALLOWED", "UNLIMITED", "OFF"};
    for (int i = 0; i < 5; ++i) {
        const int y = settings.y + int((100 + i * 44) * unit);
        text(frame, rows[i], cv::Point(settings.x + int(20 * unit), y), 16 * unit,
             cv::Scalar(140, 150, 160));
        text(frame, values[i], cv::Point(settings.x + settings.width / 2, y), 16 * unit,
             cv::Scalar(220, 228, 236));
        cv::line(frame, cv::Point(settings.x + int(20 * unit), y + int(14 * unit)),
                 cv::Point(settings.br().x - int(20 * unit), y + int(14 * unit)),
                 cv::Scalar(50, 56, 64), 1);
    }

    const cv::Rect chat(left, settings.br().y + int(30 * unit), right - left,
                        std::max(int(120 * unit), panel.br().y - settings.br().y - int(30 * unit)));
    shade(frame, chat, cv::Scalar(16, 14, 12), cv::Scalar(26, 22, 18), 0.8);
    frameBox(frame, chat, cv::Scalar(60, 68, 80), 1);
    for (int i = 0; i * int(32 * unit) + int(60 * unit) < chat.height; ++i) {
        const int y = chat.y + int(30 * unit) + i * int(32 * unit);
        const cv::Scalar nameColour = i % 2 ? cv::Scalar(120, 200, 240) : cv::Scalar(140, 230, 150);
        cv::rectangle(frame, cv::Rect(chat.x + int(16 * unit), y - int(12 * unit), int(90 * unit),
                                      std::max(2, int(10 * unit))),
                      nameColour, cv::FILLED);
        fakeLines(frame, cv::Point(chat.x + int(120 * unit), y - int(12 * unit)),
                  std::max(1, chat.width - int(150 * unit)), std::max(2, int(10 * unit)), 1, rng,
                  cv::Scalar(150, 156, 164));
    }
}

// Another program's notification: an opaque dark card with an icon, a title and two lines.
void drawToast(cv::Mat &frame, const cv::Rect &area, std::uint64_t seed)
{
    cv::RNG rng(rngState(seed, 6));
    shade(frame, area, cv::Scalar(58, 52, 48), cv::Scalar(40, 36, 33), 1.0, Texture::Plain);
    frameBox(frame, area, cv::Scalar(110, 104, 98), 1);
    const int unit = std::max(8, std::min(area.height / 4, area.width / 8));
    const cv::Point icon(area.x + unit, area.y + area.height / 2);
    cv::circle(frame, icon, unit * 2 / 3, cv::Scalar(215, 140, 60), cv::FILLED, cv::LINE_AA);
    const int textLeft = area.x + 2 * unit;
    const int room = std::max(1, area.br().x - textLeft - unit / 2);
    const double capHeight = std::min(unit * 0.7, unit * 0.7 * room / textWidth("New message", unit * 0.7));
    text(frame, "New message", cv::Point(textLeft, area.y + unit + unit / 2), capHeight,
         cv::Scalar(235, 235, 235));
    fakeLines(frame, cv::Point(textLeft, area.y + 2 * unit),
              std::max(1, area.br().x - textLeft - unit / 2), std::max(2, unit / 4), 2, rng,
              cv::Scalar(160, 160, 160));
}

} // namespace

SyntheticScreen::SyntheticScreen(cv::Size size)
    : m_size(size)
{
    if (size.width < MinWidth || size.width > MaxWidth || size.height < MinHeight
        || size.height > MaxHeight)
        throw std::invalid_argument("SyntheticScreen: " + std::to_string(size.width) + " x "
                                    + std::to_string(size.height)
                                    + " is outside 1280 x 720 to 3840 x 2160");
}

cv::Size SyntheticScreen::size() const
{
    return m_size;
}

void SyntheticScreen::setScale(double scale)
{
    if (!(scale > 0 && scale <= 4))
        throw std::invalid_argument("SyntheticScreen: the scale must be above 0 and at most 4");
    m_scale = scale;
}

void SyntheticScreen::setNoise(double sigma)
{
    m_noise = std::max(0.0, sigma);
}

void SyntheticScreen::setBlur(int kernelSize)
{
    m_blur = std::max(0, kernelSize);
}

void SyntheticScreen::setBrightness(int offset)
{
    m_brightness = std::clamp(offset, -100, 100);
}

void SyntheticScreen::setJpegQuality(int quality)
{
    m_jpegQuality = std::clamp(quality, 0, 100);
}

void SyntheticScreen::setSeed(std::uint64_t seed)
{
    m_seed = seed;
}

void SyntheticScreen::setPopupPosition(std::optional<cv::Point> topLeft)
{
    m_popupPosition = topLeft;
}

void SyntheticScreen::setHeaderPosition(std::optional<cv::Point> topLeft)
{
    m_headerPosition = topLeft;
}

void SyntheticScreen::setToast(std::optional<cv::Rect> area)
{
    m_toast = area;
}

cv::Size SyntheticScreen::scaled(int width, int height) const
{
    return cv::Size(std::max(1, cvRound(width * m_scale)), std::max(1, cvRound(height * m_scale)));
}

cv::Mat SyntheticScreen::drawMenu() const
{
    cv::Mat frame = drawScenery(m_size, m_seed);
    drawTopBar(frame);
    drawMainMenu(frame, m_seed);
    addGrain(frame, m_seed);
    return frame;
}

cv::Mat SyntheticScreen::finish(cv::Mat frame) const
{
    if (m_toast)
        drawToast(frame, *m_toast, m_seed);
    if (m_brightness != 0)
        frame.convertTo(frame, -1, 1.0, m_brightness);
    if (m_blur > 1) {
        const int kernel = m_blur | 1;
        cv::GaussianBlur(frame, frame, cv::Size(kernel, kernel), 0);
    }
    if (m_noise > 0) {
        cv::RNG rng(rngState(m_seed, 4));
        cv::Mat noise(frame.size(), CV_16SC3);
        rng.fill(noise, cv::RNG::NORMAL, 0.0, m_noise);
        cv::add(frame, noise, frame, cv::noArray(), CV_8UC3);
    }
    if (m_jpegQuality > 0) {
        std::vector<uchar> encoded;
        cv::imencode(".jpg", frame, encoded, {cv::IMWRITE_JPEG_QUALITY, m_jpegQuality});
        frame = cv::imdecode(encoded, cv::IMREAD_COLOR);
    }
    return frame;
}

cv::Mat SyntheticScreen::renderBackground() const
{
    return finish(drawMenu());
}

cv::Mat SyntheticScreen::renderInvitation() const
{
    cv::Mat frame = drawMenu();
    // The game dims its menu behind a modal popup and casts a soft shadow around it.
    shade(frame, frameRect(frame), cv::Scalar(6, 5, 4), cv::Scalar(6, 5, 4), 0.55, Texture::Plain);
    const cv::Rect popup = popupRect();
    for (int ring = 4; ring >= 1; --ring) {
        const int grow = int(ring * 6 * m_scale);
        shade(frame, cv::Rect(popup.x - grow, popup.y - grow + grow / 2, popup.width + 2 * grow,
                              popup.height + 2 * grow),
              cv::Scalar(0, 0, 0), cv::Scalar(0, 0, 0), 0.18, Texture::Plain);
    }
    drawPicture(frame, pictures().popup, popup);
    return finish(frame);
}

cv::Mat SyntheticScreen::renderLobby(const SlotMask &occupied) const
{
    cv::Mat frame = drawScenery(m_size, m_seed);
    drawTopBar(frame);
    const cv::Rect header = headerRect();
    const cv::Rect coach = coachRect();
    drawLobbyChrome(frame, header | coach, m_seed);
    addGrain(frame, m_seed);
    drawPicture(frame, pictures().header, header);
    const SlotRects places = slotRects();
    for (int i = 0; i < SlotCount; ++i)
        drawPicture(frame, occupied[i] ? pictures().occupied : pictures().empty, places[i]);
    drawPicture(frame, pictures().coach, coach);
    return finish(frame);
}

cv::Rect SyntheticScreen::popupRect() const
{
    const cv::Mat &picture = pictures().popup;
    const cv::Size size = scaled(picture.cols, picture.rows);
    const cv::Point topLeft = m_popupPosition.value_or(
        cv::Point((m_size.width - size.width) / 2, (m_size.height - size.height) / 2));
    return cv::Rect(topLeft, size);
}

cv::Rect SyntheticScreen::acceptRect() const
{
    const cv::Rect popup = popupRect();
    const cv::Mat &picture = pictures().popup;
    // The popup picture is resized to the popup's size, so the button inside scales by exactly
    // that ratio.
    const double fx = double(popup.width) / picture.cols;
    const double fy = double(popup.height) / picture.rows;
    const QRect inside = invitationAcceptButtonRect();
    const int left = cvRound(inside.x() * fx);
    const int top = cvRound(inside.y() * fy);
    const int right = cvRound((inside.x() + inside.width()) * fx);
    const int bottom = cvRound((inside.y() + inside.height()) * fy);
    return cv::Rect(popup.x + left, popup.y + top, right - left, bottom - top);
}

cv::Point SyntheticScreen::acceptCentre() const
{
    const cv::Rect button = acceptRect();
    return cv::Point(button.x + button.width / 2, button.y + button.height / 2);
}

cv::Rect SyntheticScreen::headerRect() const
{
    const cv::Mat &picture = pictures().header;
    const cv::Size size = scaled(picture.cols, picture.rows);
    // By default centred in the right half, where the product looks for it, as far as the screen
    // is wide enough.
    const int halfWidth = m_size.width / 2;
    const int x = std::min(m_size.width - halfWidth + (halfWidth - size.width) / 2,
                           m_size.width - size.width);
    const cv::Point topLeft = m_headerPosition.value_or(cv::Point(x, m_size.height * 10 / 100));
    return cv::Rect(topLeft, size);
}

cv::Rect SyntheticScreen::coachRect() const
{
    const cv::Mat &header = pictures().header;
    const cv::Mat &coach = pictures().coach;
    const cv::Rect drawnHeader = headerRect();
    const int x = drawnHeader.x + cvRound((header.cols - coach.cols) / 2.0 * m_scale);
    const int y = drawnHeader.y + cvRound((header.rows + SlotAreaHeight) * m_scale);
    return cv::Rect(cv::Point(x, y), scaled(coach.cols, coach.rows));
}

SyntheticScreen::SlotRects SyntheticScreen::slotRects() const
{
    return slotRectsFor(headerRect(), coachRect().y);
}

SyntheticScreen::SlotRects SyntheticScreen::slotRectsFor(const cv::Rect &headerBox, int coachTop)
{
    const QList<cv::Rect> derived =
        LobbyDetector::slotsIn(LobbyDetector::slotAreaBetween(headerBox, coachTop));
    SlotRects places;
    std::copy(derived.begin(), derived.end(), places.begin());
    return places;
}
