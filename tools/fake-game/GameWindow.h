#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

// The game's window: a solid colour with, optionally, a picture drawn at its own size with its
// top-left at the client area's top-left (no scaling, so every pixel is known exactly). Clicks
// are reported, nothing else reacts to input.
class GameWindow : public QWidget
{
    Q_OBJECT

public:
    explicit GameWindow(QWidget *parent = nullptr);

    void setPicture(const QImage &picture);
    // Drops the picture as well: the whole client area in `colour`.
    void setFill(const QColor &colour);

    // Paints now and returns once the X server has the new pixels, so that a screen grab made
    // after this call sees them.
    void showOnScreenNow();
    // Where the X server has the client area's top-left now; the toolkit's own geometry can run
    // ahead of the window manager.
    QPoint serverPosition() const;

signals:
    // Window coordinates; buttons numbered as X numbers them (1 left, 2 middle, 3 right).
    void clicked(int x, int y, int button);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QColor m_fill;
    QImage m_picture;
};
