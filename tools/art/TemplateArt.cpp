#include "TemplateArt.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace {

QImage opaqueCanvas(int width, int height, const QColor &base)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(base);
    return image;
}

// One pass of a [1 2 1] / 4 filter across and down, edges repeated. The matcher halves the screen,
// and a picture landing on an odd pixel is then sampled differently from the template; hairlines
// and razor edges would make the score depend on that. Game frames are never this sharp anyway.
QImage softened(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = image.width();
    const int height = image.height();
    const auto filter = [](const QRgb a, const QRgb b, const QRgb c) {
        const auto mix = [](int x, int y, int z) { return (x + 2 * y + z + 2) / 4; };
        return qRgba(mix(qRed(a), qRed(b), qRed(c)), mix(qGreen(a), qGreen(b), qGreen(c)),
                     mix(qBlue(a), qBlue(b), qBlue(c)), mix(qAlpha(a), qAlpha(b), qAlpha(c)));
    };
    QImage across(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        auto *out = reinterpret_cast<QRgb *>(across.scanLine(y));
        for (int x = 0; x < width; ++x)
            out[x] = filter(in[qMax(x - 1, 0)], in[x], in[qMin(x + 1, width - 1)]);
    }
    QImage result(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        const auto *above = reinterpret_cast<const QRgb *>(across.constScanLine(qMax(y - 1, 0)));
        const auto *in = reinterpret_cast<const QRgb *>(across.constScanLine(y));
        const auto *below =
            reinterpret_cast<const QRgb *>(across.constScanLine(qMin(y + 1, height - 1)));
        auto *out = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < width; ++x)
            out[x] = filter(above[x], in[x], below[x]);
    }
    return result;
}

// Hinting would snap glyphs to the pixel grid according to the platform's settings; without it
// the outlines alone decide the pixels.
QFont artFont(int pixelSize, QFont::Weight weight, qreal letterSpacing = 0)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    if (letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return font;
}

// Text with a dark drop shadow, the way game interfaces lift labels off their panels.
void drawShadowedText(QPainter &painter, const QRectF &box, int flags, const QString &text,
                      const QColor &colour, const QPointF &shadowOffset = QPointF(0, 2))
{
    painter.setPen(QColor(0, 0, 0, 170));
    painter.drawText(box.translated(shadowOffset), flags, text);
    painter.setPen(colour);
    painter.drawText(box, flags, text);
}

// Faint diagonal lines: texture for surfaces that would otherwise be smooth gradients. Two pixels
// wide, so they survive the matcher's halving whichever pixel they start on.
void drawHatch(QPainter &painter, const QRectF &box, const QColor &colour, qreal spacing)
{
    painter.save();
    painter.setClipRect(box);
    painter.setPen(QPen(colour, 2));
    for (qreal x = box.left() - box.height(); x < box.right(); x += spacing)
        painter.drawLine(QPointF(x, box.bottom()), QPointF(x + box.height(), box.top()));
    painter.restore();
}

void drawDiamond(QPainter &painter, const QPointF &centre, qreal radius, const QColor &colour)
{
    QPainterPath path;
    path.moveTo(centre.x(), centre.y() - radius);
    path.lineTo(centre.x() + radius, centre.y());
    path.lineTo(centre.x(), centre.y() + radius);
    path.lineTo(centre.x() - radius, centre.y());
    path.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(path);
}

// A button face: vertical gradient, gloss on the upper half, dark outer and light inner border,
// and the label in bold capitals.
QImage drawButton(int width, int height, const QColor &top, const QColor &middle,
                  const QColor &bottom, const QColor &border, const QColor &labelColour,
                  const QString &label)
{
    QImage image = opaqueCanvas(width, height, bottom);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient face(0, 0, 0, height);
    face.setColorAt(0.0, top);
    face.setColorAt(0.5, middle);
    face.setColorAt(1.0, bottom);
    painter.fillRect(QRectF(0, 0, width, height), face);
    drawHatch(painter, QRectF(0, 0, width, height), QColor(255, 255, 255, 16), 7);

    QLinearGradient gloss(0, 0, 0, height / 2.0);
    gloss.setColorAt(0.0, QColor(255, 255, 255, 70));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 8));
    painter.fillRect(QRectF(3, 3, width - 6, height / 2.0 - 3), gloss);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(border, 3));
    painter.drawRect(QRectF(1.5, 1.5, width - 3, height - 3));
    painter.setPen(QPen(QColor(255, 255, 255, 70), 2));
    painter.drawRect(QRectF(4, 4, width - 8, height - 8));

    painter.setFont(artFont(26, QFont::Bold, 3));
    drawShadowedText(painter, QRectF(0, 0, width, height), Qt::AlignCenter, label, labelColour);
    return image;
}

// A dark panel: vertical gradient, a cool glow near the top, hatch texture and a two-line frame.
void drawPanel(QPainter &painter, const QRectF &box, const QColor &top, const QColor &bottom,
               const QColor &frame)
{
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0.0, top);
    fill.setColorAt(1.0, bottom);
    painter.fillRect(box, fill);
    drawHatch(painter, box, QColor(255, 255, 255, 10), 9);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(frame, 2));
    painter.drawRect(box.adjusted(1, 1, -1, -1));
    painter.setPen(QPen(QColor(0, 0, 0, 160), 2));
    painter.drawRect(box.adjusted(4, 4, -4, -4));
}

// The radiant side's emblem: a sun with eight rays.
void drawSunEmblem(QPainter &painter, const QPointF &centre, qreal radius, const QColor &colour)
{
    QPainterPath rays;
    for (int i = 0; i < 8; ++i) {
        const qreal angle = i * M_PI / 4;
        const qreal side = M_PI / 14;
        rays.moveTo(centre + QPointF(qCos(angle - side), qSin(angle - side)) * radius * 0.55);
        rays.lineTo(centre + QPointF(qCos(angle), qSin(angle)) * radius);
        rays.lineTo(centre + QPointF(qCos(angle + side), qSin(angle + side)) * radius * 0.55);
        rays.closeSubpath();
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(rays);
    painter.setPen(QPen(colour.darker(250), 2));
    painter.drawEllipse(centre, radius * 0.45, radius * 0.45);
}

// The dire side's emblem: a spiked ring.
void drawSpikeEmblem(QPainter &painter, const QPointF &centre, qreal radius, const QColor &colour)
{
    QPainterPath spikes;
    const int points = 7;
    for (int i = 0; i < points * 2; ++i) {
        const qreal angle = -M_PI / 2 + i * M_PI / points;
        const qreal r = (i % 2 == 0) ? radius : radius * 0.5;
        const QPointF p = centre + QPointF(qCos(angle), qSin(angle)) * r;
        if (i == 0)
            spikes.moveTo(p);
        else
            spikes.lineTo(p);
    }
    spikes.closeSubpath();
    painter.setPen(QPen(colour.darker(250), 2));
    painter.setBrush(colour);
    painter.drawPath(spikes);
    painter.setBrush(QColor(0x12, 0x0c, 0x0e));
    painter.drawEllipse(centre, radius * 0.28, radius * 0.28);
}

} // namespace

QImage drawAcceptButton()
{
    return softened(drawButton(256, 61, QColor(0x7c, 0xe5, 0x7e), QColor(0x2f, 0xa8, 0x47),
                               QColor(0x15, 0x5e, 0x25), QColor(0x0b, 0x33, 0x12),
                               QColor(0xf4, 0xff, 0xf2), QStringLiteral("ACCEPT")));
}

QImage drawInvitationPopup()
{
    const int width = 771;
    const int height = 587;
    QImage image = opaqueCanvas(width, height, QColor(0x0e, 0x12, 0x18));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    drawPanel(painter, QRectF(0, 0, width, height), QColor(0x22, 0x2b, 0x38),
              QColor(0x0b, 0x0e, 0x13), QColor(0xb0, 0x92, 0x55));
    QRadialGradient glow(QPointF(width / 2.0, 40), 380);
    glow.setColorAt(0.0, QColor(0x4f, 0xc3, 0xd9, 60));
    glow.setColorAt(1.0, QColor(0x4f, 0xc3, 0xd9, 0));
    painter.fillRect(QRectF(4, 4, width - 8, height - 8), glow);

    // Title band with a gold rule under it.
    QLinearGradient band(0, 6, 0, 78);
    band.setColorAt(0.0, QColor(0x30, 0x3a, 0x49));
    band.setColorAt(1.0, QColor(0x15, 0x1a, 0x22));
    painter.fillRect(QRectF(6, 6, width - 12, 72), band);
    QLinearGradient rule(6, 0, width - 6, 0);
    rule.setColorAt(0.0, QColor(0xb0, 0x92, 0x55, 0));
    rule.setColorAt(0.5, QColor(0xe9, 0xc9, 0x7a));
    rule.setColorAt(1.0, QColor(0xb0, 0x92, 0x55, 0));
    painter.fillRect(QRectF(6, 78, width - 12, 3), rule);
    painter.setFont(artFont(36, QFont::Bold, 5));
    drawShadowedText(painter, QRectF(0, 6, width, 72), Qt::AlignCenter,
                     QStringLiteral("LOBBY INVITE"), QColor(0xf0, 0xde, 0xae));
    drawDiamond(painter, QPointF(175, 42), 9, QColor(0xe9, 0xc9, 0x7a));
    drawDiamond(painter, QPointF(width - 175, 42), 9, QColor(0xe9, 0xc9, 0x7a));
    drawDiamond(painter, QPointF(150, 42), 5, QColor(0xb0, 0x92, 0x55));
    drawDiamond(painter, QPointF(width - 150, 42), 5, QColor(0xb0, 0x92, 0x55));

    painter.setFont(artFont(21, QFont::Bold));
    drawShadowedText(painter, QRectF(0, 96, width, 36), Qt::AlignCenter,
                     QStringLiteral("You have been invited to join a practice lobby"),
                     QColor(0xcf, 0xd6, 0xe0), QPointF(0, 1));

    // The framed lobby card.
    const QRectF card(56, 148, width - 112, 236);
    drawPanel(painter, card, QColor(0x10, 0x15, 0x1c), QColor(0x1b, 0x23, 0x2e),
              QColor(0x4a, 0x5a, 0x6e));
    painter.fillRect(QRectF(card.left() + 6, card.top() + 6, 6, card.height() - 12),
                     QColor(0x4f, 0xc3, 0xd9));
    painter.setFont(artFont(15, QFont::Bold, 2));
    painter.setPen(QColor(0x8a, 0x9b, 0xb0));
    painter.drawText(QRectF(card.left() + 30, card.top() + 18, 400, 22),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("LOBBY"));
    painter.setFont(artFont(30, QFont::Bold, 1));
    drawShadowedText(painter, QRectF(card.left() + 30, card.top() + 42, card.width() - 60, 42),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Corvanta Practice #07"), QColor(0xff, 0xff, 0xff));
    painter.setFont(artFont(19, QFont::Bold));
    painter.setPen(QColor(0xb4, 0xc0, 0xcf));
    painter.drawText(QRectF(card.left() + 30, card.top() + 96, card.width() - 60, 26),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Host: Sable Kestrel"));
    painter.drawText(QRectF(card.left() + 30, card.top() + 124, card.width() - 60, 26),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Region: EU West     Mode: Practice"));
    painter.drawText(QRectF(card.left() + 30, card.top() + 166, 160, 26),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Players 7 / 10"));
    // Ten seat pips, seven of them taken.
    for (int i = 0; i < 10; ++i) {
        const QRectF pip(card.left() + 200 + i * 38, card.top() + 170, 30, 18);
        painter.setPen(QPen(QColor(0x4a, 0x5a, 0x6e), 2));
        painter.setBrush(i < 7 ? QColor(0x4f, 0xc3, 0xd9) : QColor(0x0c, 0x10, 0x15));
        painter.drawRect(pip);
    }

    // Time left before the invitation lapses.
    painter.setFont(artFont(17, QFont::Bold, 1));
    painter.setPen(QColor(0x9a, 0xa8, 0xb8));
    painter.drawText(QRectF(0, 400, width, 26), Qt::AlignCenter,
                     QStringLiteral("Expires in 0:27"));
    const QRectF timer(140, 434, width - 280, 12);
    painter.setPen(QPen(QColor(0x4a, 0x5a, 0x6e), 2));
    painter.setBrush(QColor(0x0a, 0x0d, 0x11));
    painter.drawRect(timer);
    QLinearGradient left(timer.topLeft(), timer.topRight());
    left.setColorAt(0.0, QColor(0xe9, 0xc9, 0x7a));
    left.setColorAt(1.0, QColor(0xd0, 0x6a, 0x3a));
    painter.fillRect(QRectF(timer.left() + 1, timer.top() + 1, (timer.width() - 2) * 0.62,
                            timer.height() - 2),
                     left);

    const QRect accept = invitationAcceptButtonRect();
    const QImage decline = drawButton(256, 61, QColor(0x6a, 0x3a, 0x3a), QColor(0x3e, 0x22, 0x24),
                                      QColor(0x22, 0x13, 0x15), QColor(0x12, 0x08, 0x09),
                                      QColor(0xe6, 0xc8, 0xc4), QStringLiteral("DECLINE"));
    painter.drawImage(QPoint(width - accept.right() - 1, accept.top()), decline);
    painter.end();

    // The accept button goes in after softening, so that it is the accept picture pixel for pixel.
    QImage result = softened(image);
    QPainter(&result).drawImage(accept.topLeft(), drawAcceptButton());
    return result;
}

QImage drawLobbyHeader()
{
    const int width = 930;
    const int height = 89;
    const int half = width / 2;
    QImage image = opaqueCanvas(width, height, QColor(0x0d, 0x10, 0x15));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient bar(0, 0, 0, height);
    bar.setColorAt(0.0, QColor(0x25, 0x2c, 0x37));
    bar.setColorAt(1.0, QColor(0x0b, 0x0e, 0x12));
    painter.fillRect(QRectF(0, 0, width, height), bar);
    drawHatch(painter, QRectF(0, 0, width, height), QColor(255, 255, 255, 12), 10);
    painter.fillRect(QRectF(0, 0, width, 3), QColor(0x5a, 0x66, 0x76));

    // Team colour washes from the outer edges towards the middle.
    const QColor green(0x3c, 0xc8, 0x5a);
    const QColor red(0xd8, 0x3c, 0x32);
    QLinearGradient greenWash(0, 0, half, 0);
    greenWash.setColorAt(0.0, QColor(green.red(), green.green(), green.blue(), 110));
    greenWash.setColorAt(1.0, QColor(green.red(), green.green(), green.blue(), 0));
    painter.fillRect(QRectF(0, 2, half, height - 2), greenWash);
    QLinearGradient redWash(width, 0, half, 0);
    redWash.setColorAt(0.0, QColor(red.red(), red.green(), red.blue(), 110));
    redWash.setColorAt(1.0, QColor(red.red(), red.green(), red.blue(), 0));
    painter.fillRect(QRectF(half, 2, width - half, height - 2), redWash);
    painter.fillRect(QRectF(0, 0, 8, height), green);
    painter.fillRect(QRectF(width - 8, 0, 8, height), red);
    painter.fillRect(QRectF(8, height - 4, half - 40, 4), green);
    painter.fillRect(QRectF(half + 32, height - 4, half - 40, 4), red);

    drawSunEmblem(painter, QPointF(52, height / 2.0), 28, QColor(0xa6, 0xf5, 0x8e));
    drawSpikeEmblem(painter, QPointF(width - 52, height / 2.0), 28, QColor(0xff, 0x70, 0x5c));

    painter.setFont(artFont(38, QFont::Bold, 3));
    drawShadowedText(painter, QRectF(96, 0, half - 110, height), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("THE RADIANT"), QColor(0x9c, 0xf2, 0xa8));
    drawShadowedText(painter, QRectF(half + 14, 0, half - 110, height),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("THE DIRE"),
                     QColor(0xff, 0x9a, 0x8a));

    // The divider between the two sides.
    painter.fillRect(QRectF(half - 1, 10, 2, height - 20), QColor(0x6a, 0x76, 0x86));
    drawDiamond(painter, QPointF(half, height / 2.0), 12, QColor(0xd9, 0xc2, 0x86));
    drawDiamond(painter, QPointF(half, height / 2.0), 6, QColor(0x12, 0x15, 0x1b));
    painter.end();
    return softened(image);
}

QImage drawLobbyCoachHeader()
{
    const int width = 881;
    const int height = 60;
    const int half = width / 2;
    QImage image = opaqueCanvas(width, height, QColor(0x1c, 0x23, 0x2e));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // A lighter, steel-blue bar that brightens towards its bottom, unlike the header above.
    QLinearGradient bar(0, 0, 0, height);
    bar.setColorAt(0.0, QColor(0x10, 0x14, 0x1c));
    bar.setColorAt(1.0, QColor(0x44, 0x52, 0x68));
    painter.fillRect(QRectF(0, 0, width, height), bar);
    drawHatch(painter, QRectF(0, 0, width, height), QColor(255, 255, 255, 10), 12);
    // Dashed rails along the top and bottom edges, bright in their middle and soft at their
    // edges, so that they look alike however the matcher's halving falls on them.
    const auto rail = [](qreal top) {
        QLinearGradient profile(0, top, 0, top + 8);
        profile.setColorAt(0.0, QColor(0x7d, 0x8d, 0xa3, 0));
        profile.setColorAt(0.5, QColor(0x8d, 0x9d, 0xb3));
        profile.setColorAt(1.0, QColor(0x7d, 0x8d, 0xa3, 0));
        return profile;
    };
    for (int x = 0; x < width; x += 28) {
        painter.fillRect(QRectF(x, 1, 18, 8), rail(1));
        painter.fillRect(QRectF(x + 14, height - 9, 18, 8), rail(height - 9));
    }

    // One coach place per side: an inset label box with a clipboard icon and the word "COACH".
    const auto place = [&painter](const QRectF &box, const QColor &accent) {
        QLinearGradient inset(box.topLeft(), box.topRight());
        inset.setColorAt(0.0, QColor(0x0c, 0x10, 0x16));
        inset.setColorAt(1.0, QColor(0x1e, 0x25, 0x30));
        painter.setPen(QPen(QColor(0x5b, 0x6a, 0x7e), 2));
        painter.setBrush(inset);
        painter.drawRect(box);
        painter.fillRect(QRectF(box.left(), box.bottom() - 4, box.width(), 4), accent);
        const QRectF board(box.left() + 14, box.top() + 7, 20, 24);
        painter.setPen(QPen(QColor(0xc9, 0xd3, 0xe0), 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(board);
        painter.fillRect(QRectF(board.left() + 6, board.top() - 3, 8, 5), QColor(0xc9, 0xd3, 0xe0));
        for (int line = 0; line < 2; ++line)
            painter.fillRect(QRectF(board.left() + 5, board.top() + 8 + line * 7, 10, 3),
                             QColor(0xc9, 0xd3, 0xe0));
        painter.setFont(artFont(22, QFont::Bold, 4));
        drawShadowedText(painter, box.adjusted(46, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("COACH"), QColor(0xdc, 0xe4, 0xef), QPointF(0, 1));
        painter.setFont(artFont(14, QFont::Bold, 1));
        painter.setPen(QColor(0x8d, 0x9b, 0xae));
        painter.drawText(box.adjusted(0, 0, -12, 0), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("open"));
    };
    place(QRectF(half / 2.0 - 120, 11, 240, 40), QColor(0x3c, 0xc8, 0x5a));
    place(QRectF(half + half / 2.0 - 120, 11, 240, 40), QColor(0xd8, 0x3c, 0x32));

    // Chevrons at both ends and a short post in the middle.
    painter.setPen(QPen(QColor(0x9a, 0xa8, 0xbb), 4));
    for (int i = 0; i < 3; ++i) {
        const qreal x = 20 + i * 14;
        painter.drawLine(QPointF(x, 20), QPointF(x + 8, 30));
        painter.drawLine(QPointF(x + 8, 30), QPointF(x, 40));
        const qreal xr = width - 20 - i * 14;
        painter.drawLine(QPointF(xr, 20), QPointF(xr - 8, 30));
        painter.drawLine(QPointF(xr - 8, 30), QPointF(xr, 40));
    }
    painter.fillRect(QRectF(half - 2, 14, 4, height - 28), QColor(0x9a, 0xa8, 0xbb));
    painter.end();
    // Twice: a thin bar dense with small edges, the most phase-sensitive of the pictures.
    return softened(softened(image));
}

QImage drawSlotOccupied()
{
    const int width = 421;
    const int height = 63;
    QImage image = opaqueCanvas(width, height, QColor(0x1e, 0x26, 0x31));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient fill(0, 0, width, 0);
    fill.setColorAt(0.0, QColor(0x2e, 0x3a, 0x4a));
    fill.setColorAt(1.0, QColor(0x15, 0x1a, 0x22));
    painter.fillRect(QRectF(0, 0, width, height), fill);
    drawHatch(painter, QRectF(0, 0, width, height), QColor(255, 255, 255, 10), 10);
    painter.setPen(QPen(QColor(0x56, 0x66, 0x7b), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(1, 1, width - 2, height - 2));
    painter.fillRect(QRectF(2, 2, 4, height - 4), QColor(0xe0, 0xb8, 0x5c));

    // The avatar: a mirrored 5 x 5 pattern over a diagonal gradient, in a bright frame.
    const QRectF avatar(9, 4, 55, 55);
    QLinearGradient avatarFill(avatar.topLeft(), avatar.bottomRight());
    avatarFill.setColorAt(0.0, QColor(0x2a, 0x9d, 0x8f));
    avatarFill.setColorAt(1.0, QColor(0x26, 0x46, 0x53));
    painter.fillRect(avatar, avatarFill);
    static const int pattern[5][3] = {{1, 0, 1}, {0, 1, 1}, {1, 1, 0}, {0, 1, 0}, {1, 0, 1}};
    const qreal cell = (avatar.width() - 6) / 5.0;
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 5; ++column) {
            const int mirrored = column < 3 ? column : 4 - column;
            if (!pattern[row][mirrored])
                continue;
            const QColor colour = (row + mirrored) % 2 ? QColor(0xf4, 0xa2, 0x61)
                                                        : QColor(0xe9, 0xc4, 0x6a);
            painter.fillRect(QRectF(avatar.left() + 3 + column * cell,
                                    avatar.top() + 3 + row * cell, cell, cell),
                             colour);
        }
    }
    painter.setPen(QPen(QColor(0xf0, 0xe6, 0xc8), 2));
    painter.drawRect(avatar.adjusted(1, 1, -1, -1));

    painter.setFont(artFont(22, QFont::Bold));
    drawShadowedText(painter, QRectF(76, 5, 260, 30), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("NightfallRanger"), QColor(0xff, 0xff, 0xff));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x5c, 0xe0, 0x72));
    painter.drawEllipse(QPointF(82, 47), 5, 5);
    painter.setFont(artFont(14, QFont::Bold, 2));
    painter.setPen(QColor(0x8e, 0xe8, 0x9c));
    painter.drawText(QRectF(94, 36, 200, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("READY"));

    // Rank badge: a gold shield with a star and five level pips beside it.
    QPainterPath shield;
    const qreal cx = 388;
    shield.moveTo(cx - 20, 8);
    shield.lineTo(cx + 20, 8);
    shield.lineTo(cx + 20, 32);
    shield.quadTo(cx + 18, 48, cx, 56);
    shield.quadTo(cx - 18, 48, cx - 20, 32);
    shield.closeSubpath();
    QLinearGradient gold(0, 8, 0, 56);
    gold.setColorAt(0.0, QColor(0xff, 0xe0, 0x8a));
    gold.setColorAt(1.0, QColor(0x9a, 0x6a, 0x1e));
    painter.setPen(QPen(QColor(0x3a, 0x28, 0x08), 2));
    painter.setBrush(gold);
    painter.drawPath(shield);
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const qreal angle = -M_PI / 2 + i * M_PI / 5;
        const qreal r = (i % 2 == 0) ? 11 : 4.5;
        const QPointF p(cx + qCos(angle) * r, 29 + qSin(angle) * r);
        if (i == 0)
            star.moveTo(p);
        else
            star.lineTo(p);
    }
    star.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x4a, 0x2c, 0x06));
    painter.drawPath(star);
    for (int i = 0; i < 5; ++i)
        painter.fillRect(QRectF(300 + i * 10, 44, 7, 10),
                         i < 3 ? QColor(0xe0, 0xb8, 0x5c) : QColor(0x3a, 0x44, 0x52));
    painter.end();
    return softened(image);
}

QImage drawSlotEmpty()
{
    const int width = 413;
    const int height = 63;
    QImage image = opaqueCanvas(width, height, QColor(0x10, 0x13, 0x18));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // Dim, and lit from below rather than from the left like a taken slot. Most of its contrast
    // runs along the rows (gradient, rails), so a slot drawn a few pixels wider than this picture
    // still lines up with it; the label is kept dim for the same reason.
    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0.0, QColor(0x05, 0x06, 0x08));
    fill.setColorAt(0.75, QColor(0x22, 0x29, 0x33));
    fill.setColorAt(1.0, QColor(0x34, 0x3d, 0x4a));
    painter.fillRect(QRectF(0, 0, width, height), fill);
    painter.setPen(QPen(QColor(0x2c, 0x34, 0x40), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(1, 1, width - 2, height - 2));
    // Unbroken rails with soft edges: dashes would fall out of step when the slot is drawn wider,
    // and hard edges would depend on which pixel the matcher's halving starts from.
    const auto rail = [&painter, width](qreal top, const QColor &colour) {
        QLinearGradient profile(0, top, 0, top + 8);
        profile.setColorAt(0.0, QColor(colour.red(), colour.green(), colour.blue(), 0));
        profile.setColorAt(0.5, colour);
        profile.setColorAt(1.0, QColor(colour.red(), colour.green(), colour.blue(), 0));
        painter.fillRect(QRectF(4, top, width - 8, 8), profile);
    };
    rail(2, QColor(0x2e, 0x36, 0x44));
    rail(height - 12, QColor(0x72, 0x82, 0x98));

    const qreal centreY = height / 2.0 - 2;
    const QColor mark(0x56, 0x61, 0x70);
    painter.setPen(QPen(mark, 4));
    painter.drawEllipse(QPointF(146, centreY), 15, 15);
    painter.fillRect(QRectF(138, centreY - 2, 16, 4), mark);
    painter.fillRect(QRectF(144, centreY - 8, 4, 16), mark);
    painter.setFont(artFont(21, QFont::Bold, 1));
    drawShadowedText(painter, QRectF(172, 0, 220, 2 * centreY), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("EMPTY SLOT"), mark, QPointF(0, 1));
    painter.end();
    // Twice: besides the pixel phase, this one must survive being drawn a few pixels wider.
    return softened(softened(image));
}
