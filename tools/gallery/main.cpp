// corvanta-gallery <folder> [--width W]
//
// Shows the overlay window on the current display and, for each overlay state (0 to 7 and one
// value outside them) in English and Persian, draws the synthetic game screen that goes with the
// state, the overlay's own rendering on top, and writes the result to
// <folder>/overlay-<state>-<language>.png. With --width the pictures are scaled to that width.
//
// The overlay is grabbed from its own window rather than from the screen: without a compositing
// manager the screen would show black wherever the overlay is transparent.

#include "GuidanceRenderer.h"
#include "MatchData.h"
#include "OverlayState.h"
#include "OverlayWindow.h"
#include "SyntheticScreen.h"

#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <exception>

namespace {

void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QImage toImage(const cv::Mat &bgr)
{
    return QImage(bgr.data, bgr.cols, bgr.rows, int(bgr.step), QImage::Format_BGR888).copy();
}

SyntheticScreen::SlotMask slotsTaken(const char *digits)
{
    SyntheticScreen::SlotMask mask{};
    for (int i = 0; i < SyntheticScreen::SlotCount; ++i)
        mask[size_t(i)] = digits[i] == '1';
    return mask;
}

// The slots a Radiant player who is not the captain is shown: 1 to 4, as one rectangle.
QRectF radiantPlayerSlots(const SyntheticScreen &screen)
{
    const SyntheticScreen::SlotRects rects = screen.slotRects();
    QRectF box;
    for (int i = 1; i <= 4; ++i) {
        const cv::Rect &slot = rects[size_t(i)];
        box = box.united(QRectF(slot.x, slot.y, slot.width, slot.height));
    }
    return box;
}

// What the game shows while the overlay is in `state`, and what the state machine has placed.
struct Scene
{
    QImage background;
    int players = 0;
    bool pointer = false;
    bool frame = false;
};

Scene sceneFor(int state, const SyntheticScreen &screen)
{
    Scene scene;
    switch (state) {
    case ACCEPTING_INVITATION:
        scene.background = toImage(screen.renderInvitation());
        scene.pointer = true;
        break;
    case JOINING_SLOT:
        scene.background = toImage(screen.renderLobby(slotsTaken("1000011000")));
        scene.players = 3;
        scene.frame = true;
        break;
    case WAITING_FOR_PLAYERS:
        scene.background = toImage(screen.renderLobby(slotsTaken("1100010000")));
        scene.players = 3;
        break;
    case MATCH_READY:
        scene.background = toImage(screen.renderLobby(slotsTaken("1111111111")));
        scene.players = 10;
        break;
    case IDLE:
    case WAITING_FOR_GAME:
    case WAITING_FOR_INVITATION:
        scene.background = toImage(screen.renderBackground());
        break;
    default:
        scene.background = toImage(screen.renderLobby(slotsTaken("1111111111")));
        scene.players = 10;
        break;
    }
    return scene;
}

QString fileStem(int state)
{
    const QString name = overlayStateName(state);
    return name.isEmpty() ? QStringLiteral("unknown") : name.toLower().replace(u'_', u'-');
}

int run(const QString &folder, int width)
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary) {
        std::fprintf(stderr, "no screen\n");
        return 1;
    }
    const SyntheticScreen screen(cv::Size(primary->geometry().width(), primary->geometry().height()));

    OverlayWindow overlay(nullptr);
    overlay.showOverlay();
    wait(500);

    const QList<int> states = {IDLE,         WAITING_FOR_GAME,    WAITING_FOR_INVITATION,
                               ACCEPTING_INVITATION, JOINING_SLOT, WAITING_FOR_PLAYERS,
                               MATCH_READY,  IN_GAME,             9};
    for (const QString &language : {QStringLiteral("en"), QStringLiteral("fa")}) {
        MatchData match;
        match.playerSide = QStringLiteral("RADIANT");
        match.slotNumber = 2;
        match.language = language;
        overlay.updateMatchData(&match);

        for (const int state : states) {
            const Scene scene = sceneFor(state, screen);
            GuidanceRenderer *guidance = overlay.guidanceRenderer();
            if (scene.pointer) {
                const cv::Point accept = screen.acceptCentre();
                guidance->setPointer(QPointF(accept.x, accept.y));
            } else {
                guidance->hidePointer();
            }
            if (scene.frame)
                guidance->setBoundingBox(radiantPlayerSlots(screen));
            else
                guidance->clearBoundingBox();
            overlay.updatePlayerCount(scene.players);
            overlay.updateState(state);
            // The slot frame and the join frame have pulsed back to full strength after 1.6 s;
            // the hand's ripple is best seen early in its spreading, 1.1 s after it appeared.
            wait(scene.pointer ? 1100 : 1600);

            QImage picture = scene.background.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            {
                QPainter painter(&picture);
                painter.drawImage(QRect(QPoint(0, 0), picture.size()), overlay.grabWindow());
            }
            if (width > 0 && width != picture.width())
                picture = picture.scaledToWidth(width, Qt::SmoothTransformation);
            const QString path = QDir(folder).filePath(
                QStringLiteral("overlay-%1-%2.png").arg(fileStem(state), language));
            if (!picture.convertToFormat(QImage::Format_RGB32).save(path)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                return 1;
            }
            std::printf("%s\n", qPrintable(path));
        }
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty() || arguments.size() == 2 || arguments.size() > 3
        || (arguments.size() == 3 && arguments[1] != QLatin1String("--width"))) {
        std::fprintf(stderr, "usage: corvanta-gallery <folder> [--width W]\n");
        return 2;
    }
    int width = 0;
    if (arguments.size() == 3) {
        bool ok = false;
        width = arguments[2].toInt(&ok);
        if (!ok || width <= 0) {
            std::fprintf(stderr, "--width wants a positive number\n");
            return 2;
        }
    }
    if (!QDir().mkpath(arguments[0])) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(arguments[0]));
        return 1;
    }
    try {
        return run(arguments[0], width);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
