#include "GuidanceRenderer.h"

#include "Log.h"

GuidanceRenderer::GuidanceRenderer(QObject *parent)
    : QObject(parent)
    , m_pointerImagePath(QStringLiteral("qrc:/images/hand.png"))
{
}

void GuidanceRenderer::setPointer(const QPointF &position)
{
    if (!m_showPointer) {
        m_showPointer = true;
        emit showPointerChanged();
    }
    // QPointF compares each coordinate with a relative tolerance, so a position that only differs
    // by rounding noise does not move the hand.
    if (position != m_pointerPosition) {
        m_pointerPosition = position;
        emit pointerPositionChanged();
    }
    logDebug(QStringLiteral("Pointer set to: (%1, %2)").arg(position.x()).arg(position.y()));
}

void GuidanceRenderer::hidePointer()
{
    if (!m_showPointer)
        return;
    m_showPointer = false;
    emit showPointerChanged();
    logDebug(QStringLiteral("Pointer hidden"));
}

void GuidanceRenderer::setBoundingBox(const QRectF &rect)
{
    m_boundingBox = rect;
    if (!m_showBoundingBox) {
        m_showBoundingBox = true;
        emit showBoundingBoxChanged();
    }
    emit boundingBoxChanged();
    logDebug(QStringLiteral("Bounding box set: x=%1, y=%2, w=%3, h=%4")
                 .arg(rect.x())
                 .arg(rect.y())
                 .arg(rect.width())
                 .arg(rect.height()));
}

void GuidanceRenderer::clearBoundingBox()
{
    if (!m_showBoundingBox)
        return;
    m_showBoundingBox = false;
    emit showBoundingBoxChanged();
    logDebug(QStringLiteral("Bounding box cleared"));
}
