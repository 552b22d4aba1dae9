// corvanta-fake-game: a window that looks to the desktop like the game. See README.md.
#include "CommandRunner.h"
#include "ConsoleChannel.h"
#include "GameFlow.h"
#include "GameWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QImage>
#include <QScreen>
#include <QWindow>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A stand-in for the game window, driven by commands on standard input."));
    parser.addHelpOption();
    const QCommandLineOption titleOption(QStringLiteral("title"),
                                         QStringLiteral("Window title (default \"Dota 2\")."),
                                         QStringLiteral("T"), QStringLiteral("Dota 2"));
    const QCommandLineOption geometryOption(
        QStringLiteral("geometry"),
        QStringLiteral("Client area WxH+X+Y when windowed (default 1280x720+100+100)."),
        QStringLiteral("WxH+X+Y"), QStringLiteral("1280x720+100+100"));
    const QCommandLineOption fullScreenOption(QStringLiteral("fullscreen"),
                                              QStringLiteral("Start full-screen."));
    const QCommandLineOption pictureOption(QStringLiteral("picture"),
                                           QStringLiteral("Start showing this PNG."),
                                           QStringLiteral("path"));
    const QCommandLineOption scaleOption(
        QStringLiteral("interface-scale"),
        QStringLiteral("Draw the game's pictures at this size, 1 for their own (default)."),
        QStringLiteral("S"), QStringLiteral("1"));
    parser.addOptions({titleOption, geometryOption, fullScreenOption, pictureOption, scaleOption});
    // Parsed before the toolkit sees them: Qt's X11 platform takes -geometry and -title (with one
    // dash or two) for itself and applies them to the frame of the first window it shows.
    if (!parser.parse(arguments)) {
        ConsoleChannel::writeLine(QStringLiteral("error ") + parser.errorText());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        ConsoleChannel::writeLine(parser.helpText());
        return 0;
    }
    bool scaleValid = false;
    const double interfaceScale = parser.value(scaleOption).toDouble(&scaleValid);
    if (!scaleValid || !(interfaceScale > 0 && interfaceScale <= 4)) {
        ConsoleChannel::writeLine(QStringLiteral("error --interface-scale needs a number above 0, at most 4"));
        return 2;
    }
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);

    QRect geometry;
    if (!CommandRunner::parseGeometry(parser.value(geometryOption), geometry)) {
        ConsoleChannel::writeLine(QStringLiteral("error --geometry needs WxH+X+Y"));
        return 2;
    }

    GameWindow window;
    window.setWindowTitle(parser.value(titleOption));
    if (parser.isSet(pictureOption)) {
        const QImage picture(parser.value(pictureOption));
        if (picture.isNull()) {
            ConsoleChannel::writeLine(QStringLiteral("error cannot read picture %1")
                                          .arg(parser.value(pictureOption)));
            return 2;
        }
        window.setPicture(picture);
    }
    window.setGeometry(geometry);
    if (parser.isSet(fullScreenOption))
        window.showFullScreen();
    else
        window.show();

    const bool fullScreen = parser.isSet(fullScreenOption);
    const bool shown = CommandRunner::waitUntil(
        [&] {
            const bool placed = fullScreen
                ? (window.windowState() & Qt::WindowFullScreen) && window.screen()
                    && window.geometry() == window.screen()->geometry()
                : window.geometry() == geometry;
            return placed && window.windowHandle() && window.windowHandle()->isExposed();
        },
        10000);
    if (!shown) {
        ConsoleChannel::writeLine(QStringLiteral("error the window was not shown"));
        return 1;
    }
    window.showOnScreenNow();

    GameFlow flow(&window, interfaceScale);
    CommandRunner runner(&window, &flow);
    ConsoleChannel channel;
    QObject::connect(&channel, &ConsoleChannel::lineReceived, &runner, &CommandRunner::submit);
    QObject::connect(&channel, &ConsoleChannel::closed, &app, &QApplication::quit);
    QObject::connect(&runner, &CommandRunner::quitRequested, &app, &QApplication::quit);
    QObject::connect(&window, &GameWindow::clicked, &app, [&flow](int x, int y, int button) {
        ConsoleChannel::writeLine(QStringLiteral("click %1 %2 %3").arg(x).arg(y).arg(button));
        const QString effect = flow.click(QPoint(x, y), button);
        if (!effect.isEmpty())
            ConsoleChannel::writeLine(effect);
    });

    // The X window id, for tools such as xdotool and for tests comparing lookups.
    ConsoleChannel::writeLine(QStringLiteral("ready %1").arg(window.winId()));
    return app.exec();
}
