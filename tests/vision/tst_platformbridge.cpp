#include "Desktop.h"
#include "LogCapture.h"
#include "PlatformBridge.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

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

    // The scripted screen: every column and every row differs from its neighbours.
    static std::uint8_t sample(int x, int y, int channel)
    {
        switch (channel) {
        case 0:
            return std::uint8_t(x & 0xFF);
        case 1:
            return std::uint8_t((x >> 8) | ((y << 4) & 0xF0));
        default:
            return std::uint8_t((y * 37 + 11) & 0xFF);
        }
    }

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
        const Window *entry = find(window);
        return entry ? WindowState{entry->title, entry->visible} : WindowState{};
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

    CaptureStatus grabScreen(const Rect &area, std::uint8_t *target, std::size_t stride) override
    {
        grabbedAreas.push_back(area);
        if (captureStatus != CaptureStatus::Captured)
            return captureStatus;
        for (int y = 0; y < area.height(); ++y) {
            for (int x = 0; x < area.width(); ++x) {
                for (int c = 0; c < 3; ++c)
                    target[std::size_t(y) * stride + std::size_t(x) * 3 + std::size_t(c)] =
                        sample(x, y, c);
            }
        }
        return CaptureStatus::Captured;
    }

private:
    const Window *find(WindowId window) const
    {
        if (window == NoWindow || window > windows.size() || !windows[window - 1].exists)
            return nullptr;
        return &windows[window - 1];
    }
};

// Each log line as "TAG text".
QStringList taggedLines(const LogCapture &log)
{
    QStringList lines;
    for (const QString &raw : log.rawLines()) {
        const LogLine line = LogLine::parse(raw);
        if (!line.tag.isEmpty())
            lines << line.tag + QLatin1Char(' ') + line.text;
    }
    return lines;
}

} // namespace

class TestPlatformBridge : public QObject
{
    Q_OBJECT

private:
    ScriptedDesktop *m_desktop = nullptr; // owned by m_bridge
    std::unique_ptr<PlatformBridge> m_bridge;

    // A null title: no window with that id (closed, or not opened yet). Missing flags are true.
    void useWindows(const QStringList &titles, const QList<bool> &visible,
                    const QList<bool> &enumerated = {})
    {
        m_desktop->windows.clear();
        for (qsizetype i = 0; i < titles.size(); ++i)
            m_desktop->windows.push_back({titles[i].toStdString(), visible.value(i, true),
                                          enumerated.value(i, true), !titles[i].isNull()});
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
    void useMonitor(const QRect &rect)
    {
        m_desktop->monitor.status = Desktop::MonitorStatus::Found;
        m_desktop->monitor.rect = Desktop::Rect{rect.left(), rect.top(), rect.left() + rect.width(),
                                                rect.top() + rect.height()};
    }

private slots:
    void init()
    {
        auto desktop = std::make_unique<ScriptedDesktop>();
        m_desktop = desktop.get();
        m_bridge = std::make_unique<PlatformBridge>(std::move(desktop));
    }

    void cleanup()
    {
        m_bridge.reset();
        m_desktop = nullptr;
    }

    void constructorLogsOneLine()
    {
        LogCapture log;
        PlatformBridge bridge(std::make_unique<ScriptedDesktop>());
        QCOMPARE(taggedLines(log),
                 QStringList({"INFO PlatformBridge initialized using Qt cross-platform APIs"}));
    }

    void lookupRules_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<bool>>("visible");
        QTest::addColumn<QList<bool>>("enumerated"); // empty: all of them
        QTest::addColumn<int>("containing"); // index found for capture and screen, -1 for none
        QTest::addColumn<bool>("gameVisible");

        const QString longPrefix(249, QLatin1Char('x'));
        QTest::addRow("exact title")
            << QStringList{"Steam", "Dota 2"} << QList<bool>{true, true} << QList<bool>{} << 1
            << true;
        QTest::addRow("capitals") << QStringList{"Steam", "DOTA 2"} << QList<bool>{true, true}
                                  << QList<bool>{} << 1 << true;
        QTest::addRow("lower case")
            << QStringList{"dota 2"} << QList<bool>{true} << QList<bool>{} << 0 << true;
        QTest::addRow("Dota 2 - Tools: capture and screen only")
            << QStringList{"Dota 2 - Tools"} << QList<bool>{true} << QList<bool>{} << 0 << false;
        QTest::addRow("Dota 2 Workshop: capture and screen only")
            << QStringList{"Steam", "Dota 2 Workshop"} << QList<bool>{true, true} << QList<bool>{}
            << 1 << false;
        QTest::addRow("hidden exact title is found, not visible")
            << QStringList{"Dota 2"} << QList<bool>{false} << QList<bool>{} << 0 << false;
        QTest::addRow("withdrawn exact title, outside the enumeration")
            << QStringList{"Steam", "Dota 2"} << QList<bool>{true, false}
            << QList<bool>{true, false} << 1 << false;
        QTest::addRow("first exact title wins, hidden or not")
            << QStringList{"Dota 2", "Dota 2"} << QList<bool>{false, true} << QList<bool>{} << 0
            << false;
        QTest::addRow("exact title wins over an earlier containing one")
            << QStringList{"Steam", "Dota 2 - Tools", "dota 2", "Dota 2"}
            << QList<bool>{true, true, true, true} << QList<bool>{} << 2 << true;
        QTest::addRow("first containing match wins")
            << QStringList{"Dota 2 Workshop", "Dota 2 - Tools"} << QList<bool>{true, true}
            << QList<bool>{} << 0 << false;
        QTest::addRow("containing match: hidden ones skipped")
            << QStringList{"Dota 2 - Tools", "DOTA 2 Workshop"} << QList<bool>{false, true}
            << QList<bool>{} << 1 << false;
        QTest::addRow("containing match: only hidden ones")
            << QStringList{"Dota 2 - Tools", "DOTA 2 Workshop"} << QList<bool>{false, false}
            << QList<bool>{} << -1 << false;
        QTest::addRow("containing match: outside the enumeration")
            << QStringList{"Dota 2 - Tools"} << QList<bool>{true} << QList<bool>{false} << -1
            << false;
        QTest::addRow("nothing like it")
            << QStringList{"Steam", "Dota", "Dota2", " Dota  2"} << QList<bool>{true, true, true, true}
            << QList<bool>{} << -1 << false;
        QTest::addRow("no windows at all")
            << QStringList{} << QList<bool>{} << QList<bool>{} << -1 << false;
        QTest::addRow("non-ASCII title around the name")
            << QStringList{QString::fromUtf8("Мастерская — Dota 2 — Ω")} << QList<bool>{true}
            << QList<bool>{} << 0 << false;
        QTest::addRow("title of 255 units ending in the name")
            << QStringList{longPrefix + "Dota 2"} << QList<bool>{true} << QList<bool>{} << 0
            << false;
        QTest::addRow("name beyond the 255 units read")
            << QStringList{longPrefix + "xDota 2"} << QList<bool>{true} << QList<bool>{} << -1
            << false;
    }

    void lookupRules()
    {
        QFETCH(QStringList, titles);
        QFETCH(QList<bool>, visible);
        QFETCH(QList<bool>, enumerated);
        QFETCH(int, containing);
        QFETCH(bool, gameVisible);
        useWindows(titles, visible, enumerated);
        checkLookups(containing, gameVisible);
    }

    // The window found by its exact title is asked about again rather than searched for; any
    // change to it, or a game window opening after an absent answer, shows at the next call.
    void rememberedWindowRechecked_data()
    {
        QTest::addColumn<QStringList>("before"); // a null title: no window with that id
        QTest::addColumn<QList<bool>>("visibleBefore");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QList<bool>>("visibleAfter");
        QTest::addColumn<int>("containing");
        QTest::addColumn<bool>("gameVisible");
        QTest::addColumn<bool>("searched"); // the windows were listed after the change

        const QStringList game{"Steam", "Dota 2"};
        const QList<bool> shown{true, true};
        const QList<bool> hidden{true, false};
        QTest::addRow("unchanged") << game << shown << game << shown << 1 << true << false;
        QTest::addRow("closes") << game << shown << QStringList{"Steam", QString()} << shown << -1
                                << false << true;
        QTest::addRow("retitled away") << game << shown << QStringList{"Steam", "Steam"} << shown
                                       << -1 << false << true;
        QTest::addRow("retitled to a containing title")
            << game << shown << QStringList{"Steam", "Dota 2 - Tools"} << shown << 1 << false
            << true;
        QTest::addRow("retitled in capitals")
            << game << shown << QStringList{"Steam", "DOTA 2"} << shown << 1 << true << false;
        QTest::addRow("hidden") << game << shown << game << hidden << 1 << false << false;
        QTest::addRow("shown again") << game << hidden << game << shown << 1 << true << false;
        QTest::addRow("opens after an absent answer")
            << QStringList{"Steam", QString()} << shown << game << shown << 1 << true << true;
        QTest::addRow("closes, and opens as another window")
            << QStringList{"Steam", "Dota 2", QString()} << QList<bool>{true, true, true}
            << QStringList{"Steam", QString(), "Dota 2"} << QList<bool>{true, true, true} << 2
            << true << true;
        // Not remembered: an exact title opening later would take precedence.
        QTest::addRow("containing match, then an exact title opens")
            << QStringList{"Dota 2 - Tools", QString()} << shown
            << QStringList{"Dota 2 - Tools", "Dota 2"} << shown << 1 << true << true;
    }

    void rememberedWindowRechecked()
    {
        QFETCH(QStringList, before);
        QFETCH(QList<bool>, visibleBefore);
        QFETCH(QStringList, after);
        QFETCH(QList<bool>, visibleAfter);
        QFETCH(int, containing);
        QFETCH(bool, gameVisible);
        QFETCH(bool, searched);
        useWindows(before, visibleBefore);
        m_bridge->captureDota2Window();
        m_bridge->isDota2WindowVisible();

        useWindows(after, visibleAfter);
        m_desktop->listings = 0;
        checkLookups(containing, gameVisible);
        QCOMPARE(m_desktop->listings > 0, searched);
    }

    void foregroundRule_data()
    {
        QTest::addColumn<QString>("title"); // null: no foreground window
        QTest::addColumn<bool>("foreground");
        QTest::addRow("Dota 2") << "Dota 2" << true;
        QTest::addRow("DOTA 2") << "DOTA 2" << true;
        QTest::addRow("dota 2") << "dota 2" << true;
        QTest::addRow("Dota 2 - Tools") << "Dota 2 - Tools" << false;
        QTest::addRow("Dota 2 Workshop") << "Dota 2 Workshop" << false;
        QTest::addRow("leading space") << " Dota 2" << false;
        QTest::addRow("Steam") << "Steam" << false;
        QTest::addRow("untitled") << "" << false;
        QTest::addRow("no foreground window") << QString() << false;
    }

    void foregroundRule()
    {
        QFETCH(QString, title);
        QFETCH(bool, foreground);
        // The game itself exists as well; only the focused window's title counts.
        useWindows({"Dota 2", title.isNull() ? QStringLiteral("unused") : title}, {true, true});
        m_desktop->foreground = title.isNull() ? Desktop::NoWindow : ScriptedDesktop::idOf(1);
        LogCapture log;
        QCOMPARE(m_bridge->isDota2Foreground(), foreground);
        QVERIFY(log.texts().isEmpty());
    }

    // The backend writes into the image itself: rows of exactly width x 3 bytes, whatever the
    // width, and each capture a new image that the next one leaves alone.
    void captureFillsItsOwnImage_data()
    {
        QTest::addColumn<int>("width");
        QTest::addRow("1366, not a multiple of 4 bytes") << 1366;
        QTest::addRow("1 pixel") << 1;
    }

    void captureFillsItsOwnImage()
    {
        QFETCH(int, width);
        const int height = 7;
        useWindows({"Dota 2"}, {true});
        m_desktop->client = Desktop::Rect{-20, 35, -20 + width, 35 + height};

        LogCapture log;
        const cv::Mat image = m_bridge->captureDota2Window();
        QVERIFY(log.texts().isEmpty());
        QCOMPARE(m_desktop->grabbedAreas.size(), std::size_t(1));
        QVERIFY(m_desktop->grabbedAreas.front() == *m_desktop->client);
        QCOMPARE(image.type(), CV_8UC3);
        QCOMPARE(image.cols, width);
        QCOMPARE(image.rows, height);
        QCOMPARE(image.step[0], std::size_t(width) * 3);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const cv::Vec3b pixel = image.at<cv::Vec3b>(y, x);
                const cv::Vec3b expected(ScriptedDesktop::sample(x, y, 0),
                                         ScriptedDesktop::sample(x, y, 1),
                                         ScriptedDesktop::sample(x, y, 2));
                if (pixel != expected)
                    QFAIL(qPrintable(QStringLiteral("row %1 differs at column %2").arg(y).arg(x)));
            }
        }

        const cv::Mat copy = image.clone();
        m_desktop->client = Desktop::Rect{0, 0, 64, 48};
        const cv::Mat second = m_bridge->captureDota2Window();
        QCOMPARE(second.cols, 64);
        QVERIFY(image.data != second.data);
        QCOMPARE(cv::countNonZero(cv::Mat(image != copy).reshape(1)), 0);
    }

    void captureFailures_data()
    {
        QTest::addColumn<bool>("found");
        QTest::addColumn<bool>("clientReadable");
        QTest::addColumn<QRect>("client"); // left, top, width, height
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line");
        const int captured = int(Desktop::CaptureStatus::Captured);
        QTest::addRow("no window") << false << true << QRect(0, 0, 10, 10) << captured
                                   << "DEBUG Dota 2 window not found";
        QTest::addRow("client rect unreadable") << true << false << QRect(0, 0, 10, 10) << captured
                                                << "ERROR Failed to get Dota 2 client rect";
        QTest::addRow("zero width") << true << true << QRect(100, 100, 0, 10) << captured
                                    << "ERROR Invalid Dota 2 window dimensions";
        QTest::addRow("zero height") << true << true << QRect(100, 100, 10, 0) << captured
                                     << "ERROR Invalid Dota 2 window dimensions";
        QTest::addRow("minimised: zero size") << true << true << QRect(-32000, -32000, 0, 0)
                                              << captured
                                              << "ERROR Invalid Dota 2 window dimensions";
        QTest::addRow("negative width") << true << true << QRect(100, 100, -5, 10) << captured
                                        << "ERROR Invalid Dota 2 window dimensions";
        QTest::addRow("no screen") << true << true << QRect(0, 0, 10, 10)
                                   << int(Desktop::CaptureStatus::NoScreen)
                                   << "ERROR Failed to get screen DC";
        QTest::addRow("copy failed") << true << true << QRect(0, 0, 10, 10)
                                     << int(Desktop::CaptureStatus::Failed)
                                     << "ERROR Failed to capture Dota 2 window pixels";
    }

    void captureFailures()
    {
        QFETCH(bool, found);
        QFETCH(bool, clientReadable);
        QFETCH(QRect, client);
        QFETCH(int, status);
        QFETCH(QString, line);
        useWindows({found ? "Dota 2" : "Steam"}, {true});
        if (clientReadable)
            m_desktop->client = Desktop::Rect{client.x(), client.y(), client.x() + client.width(),
                                              client.y() + client.height()};
        else
            m_desktop->client = std::nullopt;
        m_desktop->captureStatus = Desktop::CaptureStatus(status);

        LogCapture log;
        QVERIFY(m_bridge->captureDota2Window().empty());
        QCOMPARE(taggedLines(log), QStringList({line}));
    }

    void screenOfEqualMonitor()
    {
        QScreen *screen = QGuiApplication::primaryScreen();
        QVERIFY(screen);
        useWindows({"Dota 2 - Tools"}, {true});
        useMonitor(screen->geometry());

        LogCapture log;
        QCOMPARE(m_bridge->getDota2Screen(), screen);
        QCOMPARE(taggedLines(log),
                 QStringList({QStringLiteral("INFO Dota 2 found on screen: %1 (%2x%3)")
                                  .arg(screen->name())
                                  .arg(screen->geometry().width())
                                  .arg(screen->geometry().height())}));
    }

    void screenFallbacks_data()
    {
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("status");
        QTest::addColumn<QRect>("offset"); // added to the screen's geometry, edge by edge
        QTest::addColumn<int>("scale");    // the monitor in device pixels at this scale
        QTest::addColumn<QString>("line");
        const int found = int(Desktop::MonitorStatus::Found);
        const QString unmatched =
            QStringLiteral("DEBUG Could not match Dota 2 monitor to QScreen, using primary screen");
        QTest::addRow("no window") << false << found << QRect() << 1
                                   << "DEBUG Dota 2 window not found, using primary screen";
        QTest::addRow("no monitor")
            << true << int(Desktop::MonitorStatus::NoMonitor) << QRect() << 1
            << "DEBUG Could not get monitor for Dota 2 window, using primary screen";
        QTest::addRow("no monitor info")
            << true << int(Desktop::MonitorStatus::NoMonitorInfo) << QRect() << 1
            << "DEBUG Could not get monitor info, using primary screen";
        QTest::addRow("left edge moved") << true << found << QRect(1, 0, 0, 0) << 1 << unmatched;
        QTest::addRow("top edge moved") << true << found << QRect(0, -1, 0, 0) << 1 << unmatched;
        QTest::addRow("one pixel wider") << true << found << QRect(0, 0, 1, 0) << 1 << unmatched;
        QTest::addRow("one pixel shorter") << true << found << QRect(0, 0, 0, -1) << 1 << unmatched;
        QTest::addRow("display scaling 1.5") << true << found << QRect() << 150 << unmatched;
    }

    void screenFallbacks()
    {
        QFETCH(bool, found);
        QFETCH(int, status);
        QFETCH(QRect, offset);
        QFETCH(int, scale);
        QFETCH(QString, line);
        QScreen *primary = QGuiApplication::primaryScreen();
        QVERIFY(primary);
        useWindows({found ? "Dota 2" : "Steam"}, {true});
        const QRect geometry = primary->geometry();
        QRect monitor(geometry.x() + offset.x(), geometry.y() + offset.y(),
                      geometry.width() + offset.width(), geometry.height() + offset.height());
        if (scale != 1)
            monitor = QRect(monitor.topLeft() * scale / 100, monitor.size() * scale / 100);
        useMonitor(monitor);
        m_desktop->monitor.status = Desktop::MonitorStatus(status);

        LogCapture log;
        QCOMPARE(m_bridge->getDota2Screen(), primary);
        QCOMPARE(taggedLines(log), QStringList({line}));
    }

    // Where a capture's pixels lie on the overlay: the client area's offset from its monitor;
    // nothing to tell, no offset.
    void framePlacement_data()
    {
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("status");
        QTest::addColumn<QPoint>("monitorAt");
        QTest::addColumn<QPoint>("offset");
        const int found = int(Desktop::MonitorStatus::Found);
        QTest::addRow("windowed on the screen") << true << found << QPoint(0, 0) << QPoint(100, 50);
        QTest::addRow("on another monitor") << true << found << QPoint(-1820, 20) << QPoint(1920, 30);
        QTest::addRow("no monitor") << true << int(Desktop::MonitorStatus::NoMonitor) << QPoint()
                                    << QPoint();
        QTest::addRow("no window") << false << found << QPoint() << QPoint();
    }

    void framePlacement()
    {
        QFETCH(bool, found);
        QFETCH(int, status);
        QFETCH(QPoint, monitorAt);
        QFETCH(QPoint, offset);
        useWindows({found ? "Dota 2" : "Steam"}, {true});
        useMonitor(QRect(monitorAt, QSize(800, 800)));
        m_desktop->monitor.status = Desktop::MonitorStatus(status);
        QCOMPARE(m_bridge->framePlacement().offset, offset);
    }

    void noWindowGivesFalseWithoutLogging()
    {
        useWindows({"Steam", "Dota 2 - Tools"}, {true, false});
        LogCapture log;
        QVERIFY(!m_bridge->isDota2WindowVisible());
        QVERIFY(!m_bridge->isDota2Foreground());
        QVERIFY(log.texts().isEmpty());
    }
};

QTEST_MAIN(TestPlatformBridge)
#include "tst_platformbridge.moc"
