#include "WebViewSetup.h"

#include <QCoreApplication>
#include <QQuickWindow>
#include <QtWebView>

void initializeWebView()
{
    QtWebView::initialize();
    // The web view's engine composites through OpenGL contexts shared with Qt Quick. Qt 6.4's web
    // view module asks for neither the sharing nor the OpenGL scene graph, and the engine then
    // warns at start-up and may draw nothing; both must be set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
}
