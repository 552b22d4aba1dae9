#pragma once

#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QString>

// Where the overlay points and what it frames: the state machine places the hand on the control
// to click and the frame around the lobby slots to take; GuidanceView.qml draws both from these
// properties (context property `guidanceRenderer`). Positions and rectangles are in overlay-window
// coordinates. GUI thread only.
class GuidanceRenderer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool showPointer READ showPointer NOTIFY showPointerChanged FINAL)
    Q_PROPERTY(QPointF pointerPosition READ pointerPosition NOTIFY pointerPositionChanged FINAL)
    Q_PROPERTY(QString pointerImagePath READ pointerImagePath NOTIFY pointerImagePathChanged FINAL)
    Q_PROPERTY(bool showBoundingBox READ showBoundingBox NOTIFY showBoundingBoxChanged FINAL)
    Q_PROPERTY(QRectF boundingBox READ boundingBox NOTIFY boundingBoxChanged FINAL)

public:
    explicit GuidanceRenderer(QObject *parent = nullptr);

    bool showPointer() const { return m_showPointer; }
    QPointF pointerPosition() const { return m_pointerPosition; }
    QString pointerImagePath() const { return m_pointerImagePath; }
    bool showBoundingBox() const { return m_showBoundingBox; }
    QRectF boundingBox() const { return m_boundingBox; }

    // Shows the hand with its fingertip at `position`. Logged on every call, even when nothing
    // changes, so that the log shows each placement the state machine asked for.
    void setPointer(const QPointF &position);
    // Hides the hand; its position is kept.
    void hidePointer();
    // Shows the frame at `rect`. boundingBoxChanged() is emitted on every call, so the view
    // re-reads the rectangle even when the same one is set again.
    void setBoundingBox(const QRectF &rect);
    // Hides the frame; its rectangle is kept.
    void clearBoundingBox();

signals:
    void showPointerChanged();
    void pointerPositionChanged();
    // Never emitted: the picture does not change.
    void pointerImagePathChanged();
    void showBoundingBoxChanged();
    void boundingBoxChanged();

private:
    bool m_showPointer = false;
    QPointF m_pointerPosition;
    QString m_pointerImagePath;
    bool m_showBoundingBox = false;
    QRectF m_boundingBox;
};
