#include "GameWindow.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

#include <X11/Xlib.h>

GameWindow::GameWindow(QWidget *parent)
    : QWidget(parent)
    , m_fill(24, 24, 24)
{
    // Everything is painted here; no background fill by the toolkit between two paints.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GameWindow::setPicture(const QImage &picture)
{
    m_picture = picture.convertToFormat(QImage::Format_RGB32);
    update();
}

void GameWindow::setFill(const QColor &colour)
{
    m_fill = colour;
    m_picture = QImage();
    update();
}

void GameWindow::showOnScreenNow()
{
    repaint();
    // The toolkit's Xlib display shares its connection: a round trip on it means the server has
    // handled every drawing request sent before.
    if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        if (Display *display = x11->display())
            XSync(display, False);
    }
}

QPoint GameWindow::serverPosition() const
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return QPoint(-1, -1);
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display, Window(winId()), DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return QPoint(x, y);
}

void GameWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), m_fill);
    if (!m_picture.isNull())
        painter.drawImage(QPoint(0, 0), m_picture);
}

void GameWindow::mousePressEvent(QMouseEvent *event)
{
    int button = 0;
    switch (event->button()) {
    case Qt::LeftButton:
        button = 1;
        break;
    case Qt::MiddleButton:
        button = 2;
        break;
    case Qt::RightButton:
        button = 3;
        break;
    case Qt::BackButton:
        button = 8;
        break;
    case Qt::ForwardButton:
        button = 9;
        break;
    default:
        return;
    }
    const QPoint position = event->position().toPoint();
    emit clicked(position.x(), position.y(), button);
}
