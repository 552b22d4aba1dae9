#include "Desktop.h"
#include "LogCapture.h"
#include "PlatformBridge.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <cstring>
#include <memory>
#include <optional>

namespace {

// A desktop that answers from a script and notes what it was asked: the game-window rules are
// reached here without any window system.
class ScriptedDesktop : public Desktop
{
public:
    struct Window
    {
        std::string title;
        bool visible = true;
        bool enumerated = true;
        bool exists = true; // false: closed, or not opened yet
    };

    // Top-level windows in enumeration order; the window at index i has id i + 1.
    std::vector<Window> windows;
    WindowId foreground = NoWindow;
    std::optional<Rect> client = Rect{100, 50, 164, 98};
    Monitor monitor;
    CaptureStatus captureStatus = CaptureStatus::Captured;

    int listings = 0;
    std::vector<WindowId> clientRectQueries;
    std::vector<WindowId> monitorQueries;
    std::vector<Rect> grabbedAreas;

    static WindowId idOf(int index) { return WindowId(index + 1); }

    std::vector<TopLevelWindow> topLevelWindows() override
    {
        ++listings;
        std::vector<TopLevelWindow> list;
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (windows[i].exists)
                list.push_back({idOf(int(i)), windows[i].title, windows[i].enumerated});
        }
        return list;
    }

    WindowState windowState(WindowId window) override
    {
        if (window == NoWindow || window > windows.size() || !windows[window - 1].exists)
            return WindowState{};
        return WindowState{windows[window - 1].title, windows[window - 1].visible};
    }

    WindowId foregroundWindow() override { return foreground; }

    std::optional<Rect> clientRect(WindowId window) override
    {
        clientRectQueries.push_back(window);
        return client;
    }

    Monitor monitorOf(WindowId window) override
    {
        monitorQueries.push_back(window);
        return monitor;
    }

    // Each grab paints its area in a value of its own: 1, 2, ...
    CaptureStatus grabScreen(const Rect &area, std::uint8_t *target, std::size_t stride) override
    {
        grabbedAreas.push_back(area);
        for (int y = 0; captureStatus == CaptureStatus::Captured && y < area.height(); ++y)
            std::memset(target + std::size_t(y) * stride, int(grabbedAreas.size()),
                        std::size_t(area.width()) * 3);
        return captureStatus;
    }
};

} // namespace

class TestPlatformBridge : public QObject
{
    Q_OBJECT

private:
    ScriptedDesktop *m_desktop = nullptr; // owned by m_bridge
    std::unique_ptr<PlatformBridge> m_bridge;

    // One window per entry: its title, after "-" when it is hidden and "~" when it is outside
    // the enumeration (either or both, "~-" for a withdrawn window). A null entry: no window with
    // that id.
    void useWindows(const QStringList &windows)
    {
        m_desktop->windows.clear();
        for (const QString &window : windows) {
            const bool outside = window.startsWith(QLatin1Char('~'));
            const bool hidden = window.mid(outside ? 1 : 0).startsWith(QLatin1Char('-'));
            m_desktop->windows.push_back({window.mid(int(outside) + int(hidden)).toStdString(),
                                          !hidden, !outside, !window.isNull()});
        }
    }

    // Which window each lookup finds, by index (-1: none): capture, screen, visibility.
    void checkLookups(int containing, bool gameVisible)
    {
        const std::vector<Desktop::WindowId> expected =
            containing < 0 ? std::vector<Desktop::WindowId>{}
                           : std::vector<Desktop::WindowId>{ScriptedDesktop::idOf(containing)};
        m_desktop->clientRectQueries.clear();
        m_desktop->monitorQueries.clear();

        LogCapture log;
        m_bridge->captureDota2Window();
        QCOMPARE(m_desktop->clientRectQueries, expected);
        QCOMPARE(log.count("Dota 2 window not found"), containing < 0 ? 1 : 0);

        m_bridge->getDota2Screen();
        QCOMPARE(m_desktop->monitorQueries, expected);
        QCOMPARE(log.count("Dota 2 window not found, using primary screen"), containing < 0 ? 1 : 0);

        log.clear();
        QCOMPARE(m_bridge->isDota2WindowVisible(), gameVisible);
        QVERIFY(log.texts().isEmpty());
    }

    // A monitor whose rectangle is `rect` (screen coordinates, Qt's width and height).
    void useMonitor(const QRect &rect, Desktop::MonitorStatus status = Desktop::MonitorStatus::Found)
    {
        m_desktop->monitor.status = status;
        m_desktop->monitor.rect = toRect(rect);
    }

    static Desktop::Rect toRect(const QRect &rect)
    {
        return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
    }

private slots:
    void init()
    {
        auto desktop = std::make_unique<ScriptedDesktop>();
        m_desktop = desktop.get();
        m_bridge = std::make_unique<PlatformBridge>(std::move(desktop));
    }

    void lookupRules_data()
    {
        QTest::addColumn<QStringList>("windows"); // as useWindows takes them
        QTest::addColumn<int>("containing"); // index found for capture and screen, -1 for none
        QTest::addColumn<bool>("gameVisible");
        const QString longPrefix(249, QLatin1Char('x'));
        QTest::addRow("capitals") << QStringList{"Steam", "DOTA 2"} << 1 << true;
        QTest::addRow("hidden exact title") << QStringList{"-Dota 2"} << 0 << false;
        QTest::addRow("withdrawn exact title") << QStringList{"Steam", "~-Dota 2"} << 1 << false;
        QTest::addRow("first exact title wins") << QStringList{"-Dota 2", "Dota 2"} << 0 << false;
        QTest::addRow("exact title before containing")
            << QStringList{"Steam", "Dota 2 - Tools", "dota 2", "Dota 2"} << 2 << true;
        QTest::addRow("first containing") << QStringList{"Dota 2 Workshop", "Dota 2 - Tools"} << 0
                                          << false;
        QTest::addRow("hidden containing skipped")
            << QStringList{"-Dota 2 - Tools", "DOTA 2 Workshop"} << 1 << false;
        QTest::addRow("containing, not enumerated") << QStringList{"~Dota 2 - Tools"} << -1 << false;
        QTest::addRow("nothing like it") << QStringList{"Dota", "Dota2", " Dota  2"} << -1 << false;
        QTest::addRow("non-ASCII") << QStringList{QString::fromUtf8("Мастерская — Dota 2 — Ω")} << 0
                                   << false;
        QTest::addRow("255 units") << QStringList{longPrefix + "Dota 2"} << 0 << false;
        QTest::addRow("beyond 255 units") << QStringList{longPrefix + "xDota 2"} << -1 << false;
    }

    void lookupRules()
    {
        QFETCH(QStringList, windows);
        QFETCH(int, containing);
        QFETCH(bool, gameVisible);
        useWindows(windows);
        checkLookups(containing, gameVisible);
    }

    // The window found by its exact title is asked about again rather than searched for; any
    // change to it, or a game window opening after an absent answer, shows at the next call.
    void rememberedWindowRechecked_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("containing");
        QTest::addColumn<bool>("gameVisible");
        QTest::addColumn<bool>("searched"); // the windows were listed after the change
        const QStringList game{"Steam", "Dota 2"};
        const QStringList closed{"Steam", QString()};
        QTest::addRow("unchanged") << game << game << 1 << true << false;
        QTest::addRow("closes") << game << closed << -1 << false << true;
        QTest::addRow("retitled away") << game << QStringList{"Steam", "Steam"} << -1 << false << true;
        QTest::addRow("retitled containing") << game << QStringList{"Steam", "Dota 2 - Tools"} << 1
                                             << false << true;
        QTest::addRow("hidden") << game << QStringList{"Steam", "-Dota 2"} << 1 << false << false;
        QTest::addRow("opens after an absent answer") << closed << game << 1 << true << true;
        QTest::addRow("reopens as another window") << QStringList{"Steam", "Dota 2", QString()}
                                                   << QStringList{"Steam", QString(), "Dota 2"} << 2
                                                   << true << true;
        // Not remembered: an exact title opening later would take precedence.
        QTest::addRow("containing match, then an exact title opens")
            << QStringList{"Dota 2 - Tools", QString()} << QStringList{"Dota 2 - Tools", "Dota 2"}
            << 1 << true << true;
    }

    void rememberedWindowRechecked()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(int, containing);
        QFETCH(bool, gameVisible);
        QFETCH(bool, searched);
        useWindows(before);
        m_bridge->captureDota2Window();
        m_bridge->isDota2WindowVisible();

        useWindows(after);
        m_desktop->listings = 0;
        checkLookups(containing, gameVisible);
        QCOMPARE(m_desktop->listings > 0, searched);
    }

    void foregroundRule_data()
    {
        QTest::addColumn<QString>("title"); // null: no foreground window
        QTest::addColumn<bool>("foreground");
        QTest::addRow("dota 2") << "dota 2" << true;
        QTest::addRow("Dota 2 - Tools") << "Dota 2 - Tools" << false;
        QTest::addRow("no foreground window") << QString() << false;
    }

    void foregroundRule()
    {
        QFETCH(QString, title);
        QFETCH(bool, foreground);
        // The game itself exists as well; only the focused window's title counts.
        useWindows({"Dota 2", title.isNull() ? QStringLiteral("unused") : title});
        m_desktop->foreground = title.isNull() ? Desktop::NoWindow : ScriptedDesktop::idOf(1);
        LogCapture log;
        QCOMPARE(m_bridge->isDota2Foreground(), foreground);
        QVERIFY(log.texts().isEmpty());
    }

    // Each capture is a new image, rows of exactly width x 3 bytes, that the next one leaves alone.
    void captureFillsItsOwnImage()
    {
        useWindows({"Dota 2"});
        const cv::Mat image = m_bridge->captureDota2Window();
        QVERIFY(m_desktop->grabbedAreas == std::vector<Desktop::Rect>{*m_desktop->client});
        QCOMPARE(image.step[0], std::size_t(image.cols) * 3);
        const cv::Mat copy = image.clone();
        m_desktop->client = Desktop::Rect{0, 0, 1366, 7};
        const cv::Mat second = m_bridge->captureDota2Window();
        QCOMPARE(second.step[0], std::size_t(1366) * 3);
        QVERIFY(image.data != second.data);
        QCOMPARE(cv::countNonZero(cv::Mat(image != copy).reshape(1)), 0);
    }

    void captureFailures_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QRect>("client"); // left, top, width, height; null: unreadable
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line");
        const int captured = int(Desktop::CaptureStatus::Captured);
        const QRect some(0, 0, 10, 10);
        const QString noArea = QStringLiteral("Invalid Dota 2 window dimensions");
        QTest::addRow("no window") << "Steam" << some << captured << "Dota 2 window not found";
        QTest::addRow("no client rect") << "Dota 2" << QRect() << captured
                                        << "Failed to get Dota 2 client rect";
        QTest::addRow("zero width") << "Dota 2" << QRect(100, 100, 0, 10) << captured << noArea;
        QTest::addRow("zero height") << "Dota 2" << QRect(100, 100, 10, 0) << captured << noArea;
        QTest::addRow("no screen") << "Dota 2" << some << int(Desktop::CaptureStatus::NoScreen)
                                   << "Failed to get screen DC";
        QTest::addRow("copy failed") << "Dota 2" << some << int(Desktop::CaptureStatus::Failed)
                                     << "Failed to capture Dota 2 window pixels";
    }

    void captureFailures()
    {
        QFETCH(QString, title);
        QFETCH(QRect, client);
        QFETCH(int, status);
        QFETCH(QString, line);
        useWindows({title});
        m_desktop->client = client.isNull() ? std::nullopt : std::optional(toRect(client));
        m_desktop->captureStatus = Desktop::CaptureStatus(status);

        LogCapture log;
        QVERIFY(m_bridge->captureDota2Window().empty());
        QCOMPARE(log.texts(), QStringList({line}));
    }

    // The game's monitor is the screen of exactly its size; anything else falls back to the
    // primary screen. Where a capture's pixels lie on the overlay is the client area's offset from
    // that monitor, (100, 50) from a monitor at the origin; nothing to tell, no offset.
    void screenLookup_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("status");
        QTest::addColumn<QRect>("moved"); // added to the screen's geometry, edge by edge
        QTest::addColumn<int>("scale");   // the monitor in device pixels at this scale, percent
        QTest::addColumn<QString>("line"); // null: the screen is found
        QTest::addColumn<QPoint>("offset");
        const int found = int(Desktop::MonitorStatus::Found);
        const QString game = QStringLiteral("Dota 2");
        const QString unmatched =
            QStringLiteral("Could not match Dota 2 monitor to QScreen, using primary screen");
        const QPoint at(100, 50);
        QTest::addRow("equal monitor") << "Dota 2 - Tools" << found << QRect() << 100 << QString() << at;
        QTest::addRow("no window") << "Steam" << found << QRect() << 100
                                   << "Dota 2 window not found, using primary screen" << QPoint();
        QTest::addRow("no monitor") << game << int(Desktop::MonitorStatus::NoMonitor) << QRect() << 100
                                    << "Could not get monitor for Dota 2 window, using primary screen"
                                    << QPoint();
        QTest::addRow("no monitor info") << game << int(Desktop::MonitorStatus::NoMonitorInfo) << QRect()
                                         << 100 << "Could not get monitor info, using primary screen"
                                         << QPoint();
        QTest::addRow("left edge") << game << found << QRect(1, 0, 0, 0) << 100 << unmatched
                                   << QPoint(99, 50);
        QTest::addRow("top edge") << game << found << QRect(0, -1, 0, 0) << 100 << unmatched
                                  << QPoint(100, 51);
        QTest::addRow("wider") << game << found << QRect(0, 0, 1, 0) << 100 << unmatched << at;
        QTest::addRow("shorter") << game << found << QRect(0, 0, 0, -1) << 100 << unmatched << at;
        QTest::addRow("display scaling 1.5") << game << found << QRect() << 150 << unmatched << at;
    }

    void screenLookup()
    {
        QFETCH(QString, title);
        QFETCH(int, status);
        QFETCH(QRect, moved);
        QFETCH(int, scale);
        QFETCH(QString, line);
        QFETCH(QPoint, offset);
        QScreen *primary = QGuiApplication::primaryScreen();
        QCOMPARE(primary->geometry().topLeft(), QPoint(0, 0));
        useWindows({title});
        const QRect geometry = primary->geometry();
        const QRect monitor(moved.topLeft(), geometry.size() + QSize(moved.width(), moved.height()));
        useMonitor(QRect(monitor.topLeft() * scale / 100, monitor.size() * scale / 100),
                   Desktop::MonitorStatus(status));

        LogCapture log;
        QCOMPARE(m_bridge->getDota2Screen(), primary);
        QCOMPARE(log.texts(),
                 QStringList({line.isNull() ? QStringLiteral("Dota 2 found on screen: %1 (%2x%3)")
                                                  .arg(primary->name())
                                                  .arg(geometry.width())
                                                  .arg(geometry.height())
                                            : line}));
        QCOMPARE(m_bridge->framePlacement().offset, offset);
    }
};

QTEST_MAIN(TestPlatformBridge)
#include "tst_platformbridge.moc"
