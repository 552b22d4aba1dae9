#include "IconArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

QImage transparentCanvas(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QPainterPath roundedRect(qreal x, qreal y, qreal w, qreal h, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, w, h), radius, radius);
    return path;
}

} // namespace

QImage drawApplicationIcon(int size)
{
    QImage image = transparentCanvas(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);

    // Badge: a dark rounded square with a violet glow.
    QLinearGradient badge(0, 0, 256, 256);
    badge.setColorAt(0.0, QColor(0x1b, 0x1f, 0x3b));
    badge.setColorAt(1.0, QColor(0x3a, 0x1c, 0x5c));
    painter.setPen(QPen(QColor(255, 255, 255, 60), 4));
    painter.setBrush(badge);
    painter.drawRoundedRect(QRectF(6, 6, 244, 244), 56, 56);

    QRadialGradient glow(QPointF(128, 128), 110);
    glow.setColorAt(0.0, QColor(0x8a, 0x5c, 0xff, 90));
    glow.setColorAt(1.0, QColor(0x8a, 0x5c, 0xff, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(QPointF(128, 128), 110, 110);

    // The "C" ring, open to the right.
    QLinearGradient ringGradient(56, 56, 200, 200);
    ringGradient.setColorAt(0.0, QColor(0xff, 0xc8, 0x57));
    ringGradient.setColorAt(1.0, QColor(0xff, 0x6a, 0x3d));
    QPen ring(QBrush(ringGradient), 30, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(ring);
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(56, 56, 144, 144), 50 * 16, 260 * 16);

    // A play arrow in the ring's opening.
    QPainterPath arrow;
    arrow.moveTo(112, 92);
    arrow.lineTo(176, 128);
    arrow.lineTo(112, 164);
    arrow.closeSubpath();
    painter.setPen(QPen(QColor(0x0f, 0x6f, 0x9a), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(0x35, 0xd0, 0xff));
    painter.drawPath(arrow);
    return image;
}

QImage drawPointingHand()
{
    QImage image = transparentCanvas(512);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(8, 8);

    const QPainterPath index = roundedRect(20, 5, 10, 34, 5);
    const QPainterPath middle = roundedRect(29, 25, 9, 15, 4);
    const QPainterPath ring = roundedRect(37, 27, 9, 14, 4);
    const QPainterPath little = roundedRect(45, 29, 8, 13, 4);
    const QPainterPath palm = roundedRect(18, 33, 35, 24, 8);
    QPainterPath thumb = roundedRect(-8, -4.5, 18, 9, 4.5);
    thumb = QTransform().translate(17, 44).rotate(-40).map(thumb);

    const QPainterPath hand =
        index.united(middle).united(ring).united(little).united(palm).united(thumb);

    QLinearGradient skin(0, 5, 0, 58);
    skin.setColorAt(0.0, QColor(0xff, 0xff, 0xff));
    skin.setColorAt(1.0, QColor(0xe4, 0xe6, 0xee));
    painter.setPen(QPen(QColor(0x14, 0x16, 0x22), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(skin);
    painter.drawPath(hand);

    // Creases between the folded fingers and along the index finger.
    painter.setPen(QPen(QColor(0x14, 0x16, 0x22), 1.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(30, 27), QPointF(30, 36));
    painter.drawLine(QPointF(38, 29), QPointF(38, 37));
    painter.drawLine(QPointF(46, 31), QPointF(46, 38));

    // Cuff.
    painter.setPen(QPen(QColor(0x14, 0x16, 0x22), 2));
    painter.setBrush(QColor(0x35, 0xd0, 0xff));
    painter.drawRoundedRect(QRectF(21, 55, 30, 7), 2, 2);
    return image;
}
