#include "Desktop.h"
#include "DesktopActions.h"
#include "FakeGame.h"
#include "LogCapture.h"
#include "PlatformBridge.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

std::optional<Desktop::TopLevelWindow> entryOf(Desktop &desktop, Desktop::WindowId window)
{
    for (const Desktop::TopLevelWindow &entry : desktop.topLevelWindows()) {
        if (entry.id == window)
            return entry;
    }
    return std::nullopt;
}

// Every column and row differs from its neighbours and from those 256 apart: a skewed, shifted or
// mirrored copy cannot match it.
QImage distinctColumns(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((y * 3) & 0xFF, ((x >> 8) * 64 + (y & 63)) & 0xFF, x & 0xFF));
    }
    return image;
}

// The picture as the capture gives it: blue, green, red.
cv::Mat toBgr(const QImage &image)
{
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    return cv::Mat(bgr.height(), bgr.width(), CV_8UC3, const_cast<uchar *>(bgr.constBits()),
                   size_t(bgr.bytesPerLine())).clone();
}

int differingPixels(const cv::Mat &a, const cv::Mat &b)
{
    if (a.size() != b.size() || a.type() != b.type())
        return -1;
    cv::Mat difference;
    cv::absdiff(a, b, difference);
    return cv::countNonZero(difference.reshape(1));
}

QString geometryArgument(const QRect &rect)
{
    return QString::asprintf("%dx%d%+d%+d", rect.width(), rect.height(), rect.x(), rect.y());
}

// A bridge over a desktop backend whose capture path is chosen through its environment seam.
std::unique_ptr<PlatformBridge> bridgeCapturingWith(const QByteArray &mode)
{
    qputenv("CORVANTA_X11_CAPTURE", mode);
    std::unique_ptr<Desktop> desktop = createDesktop();
    qunsetenv("CORVANTA_X11_CAPTURE");
    return std::make_unique<PlatformBridge>(std::move(desktop));
}

// System V shared-memory segments created by this process, from the kernel's own list.
int sharedSegmentsOfThisProcess()
{
    QFile list(QStringLiteral("/proc/sysvipc/shm"));
    if (!list.open(QIODevice::ReadOnly))
        return -1;
    list.readLine(); // header: key shmid perms size cpid lpid nattch ...
    int count = 0;
    const QByteArray self = QByteArray::number(qint64(::getpid()));
    while (!list.atEnd()) {
        const QList<QByteArray> fields = list.readLine().simplified().split(' ');
        if (fields.size() > 4 && fields[4] == self)
            ++count;
    }
    return count;
}

} // namespace

class TestDesktopX11 : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_temp;

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "needs an X server");
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY(m_temp.isValid());
    }

    // The bridge answers, then the game changes (or only starts): its next answers see the change,
    // also where it remembers the window.
    void lookupsOnRealWindows_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("change"); // a fake-game command, "start", or empty
        QTest::addColumn<QSize>("size");     // of the capture; none: the game is not visible and
        QTest::addColumn<QString>("failure"); // the capture fails with this log line
        const QSize windowed(640, 480);
        const QSize none(0, 0);
        const QString notFound = QStringLiteral("Dota 2 window not found");
        const QString noArea = QStringLiteral("Invalid Dota 2 window dimensions");
        QTest::addRow("hidden") << "Dota 2" << "hide" << none << noArea;
        QTest::addRow("minimised") << "Dota 2" << "minimize" << none << noArea;
        QTest::addRow("resized") << "Dota 2" << "geometry 500x300+400+320" << QSize(500, 300) << "";
        QTest::addRow("retitled away") << "Dota 2" << "title Steam" << none << notFound;
        QTest::addRow("retitled Dota 2") << "Dota 2 - Tools" << "title Dota 2" << windowed << "";
        QTest::addRow("closes") << "Dota 2" << "quit" << none << notFound;
        QTest::addRow("starts after an absent answer") << "Dota 2" << "start" << windowed << "";
    }

    void lookupsOnRealWindows()
    {
        QFETCH(QString, title);
        QFETCH(QString, change);
        QFETCH(QSize, size);
        QFETCH(QString, failure);
        const QStringList arguments{"--title", title, "--geometry", "640x480+200+150"};
        FakeGame game;
        if (change != QLatin1String("start"))
            QVERIFY(game.start(arguments));
        PlatformBridge bridge;
        QCOMPARE(bridge.isDota2WindowVisible(), title == "Dota 2" && change != QLatin1String("start"));

        const std::unique_ptr<Desktop> desktop = createDesktop();
        const Desktop::WindowId window = game.window();
        if (change == QLatin1String("start")) {
            QVERIFY(game.start(arguments));
        } else if (change == QLatin1String("quit")) {
            game.quit();
            // The server destroys the window once it sees the client gone.
            QTRY_VERIFY(desktop->windowState(window).title.empty());
        } else if (!change.isEmpty()) {
            QCOMPARE(game.command(change), QStringLiteral("ok"));
        }
        if (change != QLatin1String("quit")) {
            // Withdrawn: once the window manager lets go of it, it is no longer enumerated, yet it
            // is still listed, as FindWindowW finds hidden windows.
            QTRY_VERIFY(entryOf(*desktop, game.window())
                        && entryOf(*desktop, game.window())->enumerated != (change == "hide"));
        }

        const auto captureSize = [&bridge] {
            const cv::Mat image = bridge.captureDota2Window();
            return QSize(image.cols, image.rows);
        };
        // The window manager applies a new size a moment after the game asks for it.
        QTRY_COMPARE(captureSize(), size);
        LogCapture log;
        QCOMPARE(bridge.isDota2WindowVisible(), !size.isEmpty());
        QCOMPARE(captureSize(), size);
        QCOMPARE(log.texts(), failure.isEmpty() ? QStringList() : QStringList({failure}));
    }

    // Of two containing matches the topmost is found first, until the other one is raised.
    void enumerationIsTopmostFirst()
    {
        FakeGame lower;
        QVERIFY(lower.start({"--title", "Dota 2 - Lower", "--geometry", "300x200+100+100"}));
        FakeGame upper;
        QVERIFY(upper.start({"--title", "Dota 2 - Upper", "--geometry", "320x240+150+150"}));
        QCOMPARE(upper.command("raise"), QStringLiteral("ok"));
        // The window manager restacks a moment after the game asks.
        PlatformBridge bridge;
        QTRY_COMPARE(bridge.captureDota2Window().cols, 320);
        QCOMPARE(lower.command("raise"), QStringLiteral("ok"));
        QTRY_COMPARE(bridge.captureDota2Window().cols, 300);
    }

    // The focus as the server has it: the game's, then another window's.
    void foreground()
    {
        FakeGame game;
        QVERIFY(game.start({"--geometry", "500x400+100+100"}));
        FakeGame other;
        QVERIFY(other.start({"--title", "Text editor", "--geometry", "300x200+800+100"}));
        const std::unique_ptr<Desktop> desktop = createDesktop();
        for (const FakeGame *active : {&game, &other}) {
            QCOMPARE(runShell(QStringLiteral("xdotool windowactivate --sync %1").arg(active->window())), 0);
            QTRY_COMPARE(desktop->foregroundWindow(), active->window());
            QCOMPARE(PlatformBridge().isDota2Foreground(), active == &game);
        }
    }

    // Both ways of copying pixels are exact where a row of the client area is not 4-byte aligned.
    void wideClientAreaWithoutSkew_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::addRow("shared memory") << QByteArray("shm");
        QTest::addRow("XGetImage") << QByteArray("xgetimage");
    }

    void wideClientAreaWithoutSkew()
    {
        QFETCH(QByteArray, mode);
        const QImage picture = distinctColumns(1366, 300);
        const QString path = m_temp.filePath(QStringLiteral("columns.png"));
        QVERIFY(picture.save(path));
        FakeGame game;
        QVERIFY(game.start({"--geometry", "1366x300+20+60"}));
        QCOMPARE(game.command("show " + path), QStringLiteral("ok"));
        QCOMPARE(differingPixels(bridgeCapturingWith(mode)->captureDota2Window(), toBgr(picture)), 0);
    }

    // Beyond the screen's edges the copy is black, as a screen DC gives it; under the compositing
    // manager a window above the game, such as the overlay, stays out of it.
    void capturedPixels_data()
    {
        QTest::addColumn<QPoint>("offset"); // of the client area from the screen's top-left
        QTest::addColumn<QRect>("onScreen"); // the part on the screen, in image coordinates
        QTest::addColumn<bool>("windowAbove");
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QTest::addRow("past the right and bottom edges")
            << QPoint(screen.width() - 300, screen.height() - 150) << QRect(0, 0, 300, 150) << false;
        QTest::addRow("past the left and top edges") << QPoint(-100, -50) << QRect(100, 50, 300, 250)
                                                     << false;
        QTest::addRow("window above") << QPoint(300, 200) << QRect(0, 0, 400, 300) << true;
    }

    void capturedPixels()
    {
        QFETCH(QPoint, offset);
        QFETCH(QRect, onScreen);
        QFETCH(bool, windowAbove);
        const QRect geometry(QGuiApplication::primaryScreen()->geometry().topLeft() + offset,
                             QSize(400, 300));
        FakeGame game;
        QVERIFY(game.start({"--geometry", geometryArgument(geometry)}));
        QCOMPARE(game.command("fill 0 200 100"), QStringLiteral("ok"));
        FakeGame above;
        if (windowAbove) {
            const QRect inside = geometry.adjusted(100, 100, -100, -100);
            QVERIFY(above.start({"--title", "Chat", "--geometry", geometryArgument(inside)}));
            QCOMPARE(above.command("fill 0 0 200"), QStringLiteral("ok"));
            QCOMPARE(above.command("raise"), QStringLiteral("ok"));
        }
        const std::optional<Desktop::Rect> client = createDesktop()->clientRect(game.window());
        QVERIFY(client);
        QCOMPARE(QRect(client->left, client->top, client->width(), client->height()), geometry);

        cv::Mat expected(300, 400, CV_8UC3, cv::Scalar(0, 0, 0));
        expected(cv::Rect(onScreen.x(), onScreen.y(), onScreen.width(), onScreen.height()))
            .setTo(cv::Scalar(100, 200, 0));
        QCOMPARE(differingPixels(PlatformBridge().captureDota2Window(), expected), 0);
    }

    // One segment per size, given back with the backend.
    void sharedSegmentIsReused()
    {
        FakeGame game;
        QVERIFY(game.start({"--geometry", "640x480+100+100"}));
        const int before = sharedSegmentsOfThisProcess();
        QVERIFY(before >= 0);
        {
            const std::unique_ptr<PlatformBridge> bridge = bridgeCapturingWith("shm");
            QCOMPARE(bridge->captureDota2Window().cols, 640);
            QCOMPARE(bridge->captureDota2Window().cols, 640);
            QCOMPARE(sharedSegmentsOfThisProcess(), before + 1);
            // The window manager applies the new size a moment after the game asks for it.
            QCOMPARE(game.command("geometry 800x500+100+100"), QStringLiteral("ok"));
            QTRY_COMPARE(bridge->captureDota2Window().cols, 800);
            QCOMPARE(sharedSegmentsOfThisProcess(), before + 1);
        }
        QCOMPARE(sharedSegmentsOfThisProcess(), before);
    }

    // Asking about a closed window answers "nothing" instead of ending the process.
    void closedWindowIsHarmless()
    {
        FakeGame game;
        QVERIFY(game.start({"--geometry", "300x200+100+100"}));
        const Desktop::WindowId window = game.window();
        const std::unique_ptr<Desktop> desktop = createDesktop();
        QCOMPARE(desktop->windowState(window).title, std::string("Dota 2"));
        game.quit();

        QTRY_VERIFY(desktop->windowState(window).title.empty());
        QVERIFY(!entryOf(*desktop, window));

        // Without the toolkit's X connection Xlib's default error handler, which exits, is in place.
        QProcess probe;
        probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        probe.start(QCoreApplication::applicationFilePath(),
                    {"--closed-window-probe", QString::number(window)});
        QVERIFY(probe.waitForFinished(30000));
        QCOMPARE(probe.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()).trimmed(),
                 QStringLiteral("title '' visible 0 client none monitor none"));
    }

    void screenOfEachMonitor_data()
    {
        QTest::addColumn<QRect>("geometry"); // null: full-screen on the second monitor
        QTest::addColumn<QString>("screen");
        QTest::addRow("centre on the second") << QRect(800, 200, 400, 300) << "corvanta-right";
        QTest::addRow("centre on the first") << QRect(660, 200, 400, 300) << "corvanta-left";
        QTest::addRow("full-screen on the second") << QRect() << "corvanta-right";
    }

    void screenOfEachMonitor()
    {
        QFETCH(QRect, geometry);
        QFETCH(QString, screen);
        TwoMonitors monitors;
        QVERIFY(monitors.isSet());
        // The toolkit follows RandR's monitors while it runs.
        QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::screens().size() == 2
                                     && QGuiApplication::screens().at(1)->name() == "corvanta-right",
                                 10000);
        const bool fullScreen = geometry.isNull();
        FakeGame game;
        QVERIFY(game.start({"--geometry", geometryArgument(fullScreen ? QRect(1200, 200, 400, 300)
                                                                      : geometry)}));
        if (fullScreen)
            QCOMPARE(game.command("fullscreen"), QStringLiteral("ok"));
        PlatformBridge bridge;
        LogCapture log;
        QScreen *found = bridge.getDota2Screen();
        QVERIFY(found);
        QCOMPARE(found->name(), screen);
        // Found, not the primary screen as a fallback.
        QCOMPARE(log.texts(),
                 QStringList({QStringLiteral("Dota 2 found on screen: %1 (960x1080)").arg(screen)}));
        if (fullScreen) // covering exactly that monitor
            QCOMPARE(bridge.captureDota2Window().size(), cv::Size(960, 1080));
    }

    // Under display scaling the monitor is the screen whose size times its ratio is the monitor's.
    // Qt reads the scale factor at start-up, so a child process of this program looks it up.
    void screenUnderScaling()
    {
        FakeGame game;
        QVERIFY(game.start({"--geometry", "400x300+300+300"}));
        QProcess probe;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
        probe.setProcessEnvironment(environment);
        probe.start(QCoreApplication::applicationFilePath(), {"--screen-probe"});
        QVERIFY(probe.waitForFinished(30000));
        QCOMPARE(probe.exitCode(), 0);
        const QScreen *primary = QGuiApplication::primaryScreen();
        const QString found = QStringLiteral("Dota 2 found on screen: %1 (%2x%3)")
                                  .arg(primary->name())
                                  .arg(primary->geometry().width() / 2)
                                  .arg(primary->geometry().height() / 2);
        const QString errors = QString::fromUtf8(probe.readAllStandardError());
        QVERIFY2(errors.contains(found), qPrintable(errors));
        QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()).trimmed(),
                 QStringLiteral("primary"));
    }
};

// "--screen-probe": log the game's screen lookup on standard error, print "primary" or its name.
static int screenProbe(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QScreen *screen = PlatformBridge().getDota2Screen();
    std::printf("%s\n", screen == QGuiApplication::primaryScreen() ? "primary"
                                                                    : qPrintable(screen->name()));
    return 0;
}

// "--closed-window-probe <id>": ask about a window without the toolkit's X connection.
static int closedWindowProbe(const char *window)
{
    const std::unique_ptr<Desktop> desktop = createDesktop();
    const Desktop::WindowId id = Desktop::WindowId(std::strtoull(window, nullptr, 10));
    const Desktop::Monitor monitor = desktop->monitorOf(id);
    const Desktop::WindowState state = desktop->windowState(id);
    std::printf("title '%s' visible %d client %s monitor %s\n", state.title.c_str(),
                int(state.visible), desktop->clientRect(id) ? "some" : "none",
                monitor.status == Desktop::MonitorStatus::NoMonitor ? "none" : "some");
    return 0;
}

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--screen-probe") == 0)
        return screenProbe(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--closed-window-probe") == 0)
        return closedWindowProbe(argv[2]);
    QGuiApplication app(argc, argv);
    TestDesktopX11 test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop_x11.moc"
