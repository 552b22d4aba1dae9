#include "AuthManager.h"
#include "DesktopActions.h"
#include "DashboardWindow.h"
#include "LogCapture.h"
#include "PlatformSimulator.h"
#include "QuickItems.h"
#include "UrlCatcher.h"
#include "WebViewTestMain.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The dashboard window with the real web view on the virtual desktop, against the simulator's
// dashboard page.
class TestDashboardWindow : public QObject
{
    Q_OBJECT

private:
    // An allowed host where nothing listens: the page fails to load at once.
    const QString offlineBase = QStringLiteral("http://127.0.0.1:9");
    QTemporaryDir m_config;
    PlatformSimulator m_simulator;
    std::unique_ptr<AuthManager> m_auth;
    std::unique_ptr<DashboardWindow> m_window;

    QObject *webView() const
    {
        return m_window->rootObject()->findChild<QObject *>(QStringLiteral("webView"));
    }

    QQuickItem *item(const char *name) const { return quickItem(*m_window, QLatin1String(name)); }

    void runJavaScript(const QString &script)
    {
        QVERIFY(QMetaObject::invokeMethod(webView(), "runJavaScript", Q_ARG(QString, script)));
    }

    void clickInPage(const QString &elementId)
    {
        runJavaScript(QStringLiteral("document.getElementById('%1').click()").arg(elementId));
    }

    void openWindow(const QString &baseUrl)
    {
        qputenv("API_BASE_URL", baseUrl.toUtf8());
        m_window = std::make_unique<DashboardWindow>(m_auth.get());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void openDashboardPage()
    {
        openWindow(m_simulator.url());
        QTRY_COMPARE_WITH_TIMEOUT(webView()->property("title").toString(),
                                  QStringLiteral("Corvanta Dashboard"), 20000);
        QTRY_VERIFY(!item("loadingCover")->isVisible());
        QVERIFY(!item("errorCover")->isVisible());
    }

    static QString unusedPortUrl()
    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost, 0);
        return QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "needs the virtual desktop of scripts/test");
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        QVERIFY(m_simulator.start());
        m_auth = std::make_unique<AuthManager>();
    }

    void init()
    {
        m_auth->saveSession(m_simulator.tokenFor(QStringLiteral("player@corvanta.test")),
                            QStringLiteral("u-1001"), QStringLiteral("Demo Player"),
                            QStringLiteral("player@corvanta.test"), QString());
    }

    void cleanup()
    {
        m_window.reset();
    }

    // On a 1920 x 1080 screen with a panel, the whole window, frame and close button included,
    // lies in the screen's free area.
    void windowFitsTheScreen()
    {
        openDashboardPage();
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QTRY_VERIFY2(m_window->frameMargins().top() > 0
                         && available.contains(m_window->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(m_window->frameGeometry().x())
                                .arg(m_window->frameGeometry().y())
                                .arg(m_window->frameGeometry().width())
                                .arg(m_window->frameGeometry().height())));
        QVERIFY(m_window->width() >= m_window->minimumWidth());
        QTest::qWait(300);
        QGuiApplication::primaryScreen()->grabWindow(0).save(
            QDir::temp().filePath(QStringLiteral("corvanta-dashboard.png")));
    }

    void addressAndLogLine_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("expected");
        QTest::addRow("plain") << "abc123" << "http://127.0.0.1:9/launcher-auth?token=abc123";
        QTest::addRow("characters that need encoding")
            << "a+b/c=d&e f" << "http://127.0.0.1:9/launcher-auth?token=a+b/c%3Dd%26e f";
        QTest::addRow("no token") << "" << "";
    }

    void addressAndLogLine()
    {
        QFETCH(QString, token);
        QFETCH(QString, expected);
        m_auth->saveSession(token, {}, {}, {}, {});
        LogCapture log;
        openWindow(offlineBase);
        QCOMPARE(m_window->dashboardUrl(), expected);
        const QStringList lines = log.texts();
        if (token.isEmpty()) {
            QVERIFY(!lines.join('\n').contains(QLatin1String("Dashboard URL set")));
        } else {
            QVERIFY(lines.contains(
                QStringLiteral("Dashboard URL set: http://127.0.0.1:9/launcher-auth?token=...")));
            QVERIFY2(!log.rawLines().join('\n').contains(token), qPrintable(log.rawLines().join('\n')));
        }
        QVERIFY(lines.contains(QStringLiteral("DashboardWindow created")));
    }

    void addressFollowsTheSession()
    {
        openWindow(offlineBase);
        QSignalSpy changes(m_window.get(), &DashboardWindow::dashboardUrlChanged);
        m_auth->saveSession(QStringLiteral("second"), {}, {}, {}, {});
        QCOMPARE(m_window->dashboardUrl(),
                 QStringLiteral("http://127.0.0.1:9/launcher-auth?token=second"));
        m_auth->saveSession(QStringLiteral("second"), {}, {}, {}, {});
        m_auth->clearSession();
        QCOMPARE(m_window->dashboardUrl(), QString());
        QCOMPARE(changes.count(), 3); // every rebuild notifies, also when nothing changed
    }

    // Where an address the page navigates to ends: in the view, signing out, in the browser, or
    // refused. `local`: the platform is reached over http on this machine, as the simulator is.
    void navigation_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("local");
        QTest::addColumn<QString>("where");
        QTest::addRow("the domain") << "https://corvanta.gg/x" << false << "view";
        QTest::addRow("subdomain") << "https://play.corvanta.gg" << false << "view";
        QTest::addRow("upper case is lowered") << "HTTPS://PLAY.Corvanta.GG/" << false << "view";
        QTest::addRow("plain http on the platform") << "http://a.b.corvanta.gg:8080/p" << false << "browser";
        QTest::addRow("plain http, local platform") << "http://a.b.corvanta.gg:8080/p" << true << "view";
        QTest::addRow("localhost") << "http://localhost:4555/tournaments" << false << "browser";
        QTest::addRow("localhost, local platform") << "http://localhost:4555/tournaments" << true << "view";
        QTest::addRow("loopback, local platform") << "http://127.0.0.1:9/" << true << "view";
        QTest::addRow("other loopback") << "http://127.0.0.2/" << true << "browser";
        QTest::addRow("ipv6 loopback") << "http://[::1]:4555/" << true << "browser";
        QTest::addRow("suffix without dot") << "https://evilcorvanta.gg/" << false << "browser";
        QTest::addRow("domain as a prefix") << "https://corvanta.gg.evil.com/" << false << "browser";
        QTest::addRow("domain in user info") << "https://corvanta.gg@evil.com/" << false << "browser";
        QTest::addRow("domain in path") << "https://evil.com/corvanta.gg" << false << "browser";
        QTest::addRow("trailing dot") << "https://corvanta.gg./" << false << "browser";
        QTest::addRow("punycode look-alike") << "https://xn--crvanta-5ya.gg/" << false << "browser";
        QTest::addRow("sign-out") << "app://logout" << false << "logout";
        QTest::addRow("sign-out, upper case") << "APP://LOGOUT" << false << "logout";
        QTest::addRow("sign-out in a query") << "https://evil.com/?next=app://logout" << false << "browser";
        QTest::addRow("sign-out in a fragment") << "https://evil.com/#app://logout" << false << "browser";
        QTest::addRow("sign-out with a query") << "app://logout?x=1" << false << "refused";
        QTest::addRow("sign-out with an unreadable port") << "app://logout:x" << false << "refused";
        QTest::addRow("platform with an unreadable port") << "https://corvanta.gg:x/" << false << "browser";
        QTest::addRow("file on the domain") << "file://corvanta.gg/etc/passwd" << true << "refused";
        QTest::addRow("javascript") << "javascript://corvanta.gg/%0Aalert(1)" << true << "refused";
        QTest::addRow("ftp") << "ftp://corvanta.gg/" << false << "refused";
        QTest::addRow("websocket") << "ws://corvanta.gg/" << true << "refused";
        QTest::addRow("data") << "data:text/html,<b>x</b>" << false << "refused";
        QTest::addRow("view-source") << "view-source:https://corvanta.gg/" << false << "refused";
        QTest::addRow("steam") << "steam://run/570" << false << "refused";
        QTest::addRow("empty") << "" << false << "refused";
    }

    void navigation()
    {
        QFETCH(QString, url);
        QFETCH(bool, local);
        QFETCH(QString, where);
        openWindow(local ? offlineBase : QStringLiteral("https://corvanta.gg"));
        UrlCatcher catcher;
        QString ended = QStringLiteral("view");
        if (m_window->isLogoutUrl(url)) {
            ended = QStringLiteral("logout");
        } else if (!m_window->isAllowedUrl(url)) {
            m_window->openExternal(url);
            ended = catcher.opened.isEmpty() ? QStringLiteral("refused") : QStringLiteral("browser");
        }
        QCOMPARE(ended, where);
    }

    // A foreign page that names the sign-out address goes to the browser and signs nobody out; an
    // address of another scheme is refused, and the dashboard stays either way.
    void hostileNavigationLeavesTheDashboard()
    {
        UrlCatcher catcher;
        openDashboardPage();
        QSignalSpy logout(m_window.get(), &DashboardWindow::logoutRequested);
        LogCapture log;
        runJavaScript(QStringLiteral("location.href = 'https://example.org/?next=app://logout'"));
        QTRY_COMPARE(catcher.opened, QList<QUrl>({QUrl("https://example.org/?next=app://logout")}));
        runJavaScript(QStringLiteral("location.href = 'steam://run/570'"));
        QTRY_VERIFY(log.texts().contains(QStringLiteral("Refused to open an address with the scheme \"steam\"")));
        QTest::qWait(500);
        QCOMPARE(logout.count(), 0);
        QCOMPARE(catcher.opened.size(), 1);
        QCOMPARE(webView()->property("title").toString(), QStringLiteral("Corvanta Dashboard"));
    }

    void webMessages_data()
    {
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("signal");
        QTest::addColumn<QVariantList>("signalArgs");

        const QVariantMap match{{"matchId", "m-1"}, {"slotNumber", 3}};
        QTest::addRow("match ready") << "match:ready" << QVariantList{match} << "matchReady"
                                     << QVariantList{match};
        QTest::addRow("match ready with a string") << "match:ready" << QVariantList{"x"}
                                                   << "matchReady" << QVariantList{QVariantMap()};
        QTest::addRow("match ready without args") << "match:ready" << QVariantList() << ""
                                                  << QVariantList();
        QTest::addRow("match started") << "match:started" << QVariantList{"m-9", "extra"}
                                       << "matchStarted" << QVariantList{"m-9"};
        QTest::addRow("lobby joined") << "overlay:lobbyJoined" << QVariantList() << "lobbyJoined"
                                      << QVariantList();
        QTest::addRow("lobby left") << "overlay:lobbyLeft" << QVariantList{1} << "lobbyLeft"
                                    << QVariantList();
        QTest::addRow("slot occupied") << "overlay:slotOccupied" << QVariantList{"dire", 7.0, "x"}
                                       << "slotOccupied" << QVariantList{"dire", 7};
        QTest::addRow("slot occupied, one arg") << "overlay:slotOccupied" << QVariantList{"dire"}
                                                << "" << QVariantList();
        QTest::addRow("logout") << "launcher:logout" << QVariantList() << "logoutRequested"
                                << QVariantList();
        QTest::addRow("channel is case-sensitive") << "Launcher:Logout" << QVariantList() << ""
                                                   << QVariantList();
        QTest::addRow("unknown") << "test:burst" << QVariantList{1} << "" << QVariantList();
    }

    void webMessages()
    {
        QFETCH(QString, channel);
        QFETCH(QVariantList, args);
        QFETCH(QString, signal);
        QFETCH(QVariantList, signalArgs);
        openWindow(offlineBase);

        QList<QVariantList> emitted;
        QStringList names;
        const QMetaObject *meta = m_window->metaObject();
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (const char *name : {"logoutRequested()", "matchReady(QVariantMap)",
                                 "matchStarted(QString)", "lobbyJoined()", "lobbyLeft()",
                                 "slotOccupied(QString,int)"}) {
            const QMetaMethod method = meta->method(meta->indexOfSignal(name));
            spies.push_back(std::make_unique<QSignalSpy>(m_window.get(), method));
        }
        LogCapture log;
        m_window->handleWebMessage(channel, args);

        for (const auto &spy : spies) {
            for (const QVariantList &call : *spy) {
                names << QString::fromLatin1(spy->signal()).section(QLatin1Char('('), 0, 0);
                emitted << call;
            }
        }
        QCOMPARE(names, signal.isEmpty() ? QStringList() : QStringList({signal}));
        if (!signal.isEmpty())
            QCOMPARE(emitted.constFirst(), signalArgs);
        QCOMPARE(log.texts().constFirst(),
                 QStringLiteral("Web message received - channel: %1").arg(channel));
        QCOMPARE(log.rawLines().constFirst().left(7), QStringLiteral("[DEBUG]"));
        QCOMPARE(log.texts().contains(QStringLiteral("Logout requested from web dashboard")),
                 signal == QLatin1String("logoutRequested"));
    }

    void pageLoadsBehindTheLoadingCover()
    {
        openWindow(m_simulator.url());
        QVERIFY(item("loadingCover")->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(webView()->property("title").toString(),
                                  QStringLiteral("Corvanta Dashboard"), 20000);
        QTRY_VERIFY(!item("loadingCover")->isVisible());
        QVERIFY(!item("errorCover")->isVisible());

        // The page really is on screen: its buttons are drawn in the accent colour.
        QTest::qWait(500);
        const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        screen.save(QDir::temp().filePath(QStringLiteral("corvanta-dashboard.png")));
        const QRect area = m_window->geometry() & screen.rect();
        int accent = 0;
        for (int y = area.top(); y <= area.bottom(); y += 2) {
            for (int x = area.left(); x <= area.right(); x += 2) {
                const QColor pixel = screen.pixelColor(x, y);
                accent += qAbs(pixel.red() - 0x63) + qAbs(pixel.green() - 0x66)
                        + qAbs(pixel.blue() - 0xf1) < 40;
            }
        }
        QVERIFY2(accent > 500, qPrintable(QString::number(accent)));
    }

    void everyWebMessageArrivesAsItsSignal()
    {
        openDashboardPage();
        QSignalSpy ready(m_window.get(), &DashboardWindow::matchReady);
        QSignalSpy started(m_window.get(), &DashboardWindow::matchStarted);
        QSignalSpy joined(m_window.get(), &DashboardWindow::lobbyJoined);
        QSignalSpy left(m_window.get(), &DashboardWindow::lobbyLeft);
        QSignalSpy slot(m_window.get(), &DashboardWindow::slotOccupied);
        QSignalSpy logout(m_window.get(), &DashboardWindow::logoutRequested);
        for (const char *button : {"send-match-ready", "send-match-started", "send-lobby-joined",
                                   "send-lobby-left", "send-slot-occupied", "send-logout"})
            clickInPage(QLatin1String(button));

        QTRY_COMPARE(logout.count(), 1);
        QCOMPARE(ready.count(), 1);
        const QVariantMap match = ready.constFirst().constFirst().toMap();
        QCOMPARE(match.value("matchId").toString(), QStringLiteral("m-42"));
        QCOMPARE(match.value("lobbyName").toString(), QStringLiteral("Corvanta Cup #42"));
        QCOMPARE(match.value("slotNumber").toInt(), 3);
        QCOMPARE(match.value("isCaptain").toBool(), true);
        QCOMPARE(started.constFirst().constFirst().toString(), QStringLiteral("m-42"));
        QCOMPARE(joined.count(), 1);
        QCOMPARE(left.count(), 1);
        QCOMPARE(slot.constFirst(), QVariantList({"dire", 7}));
        QTest::qWait(300); // nothing arrives twice
        QCOMPARE(ready.count() + started.count() + joined.count() + left.count() + slot.count()
                     + logout.count(),
                 6);
    }

    void messagesSurviveAReloadInOrderAndOnce()
    {
        openDashboardPage();
        QSignalSpy started(m_window.get(), &DashboardWindow::matchStarted);
        runJavaScript(QStringLiteral(
            "for (let i = 1; i <= 30; ++i) sendToLauncher('match:started', "
            "'m-' + i + ' \"quoted\" \\\\ یونیکد ✅', {nested: [i]}); location.reload();"));
        QTRY_COMPARE_WITH_TIMEOUT(started.count(), 30, 15000);
        for (int i = 0; i < 30; ++i) {
            QCOMPARE(started.at(i).constFirst().toString(),
                     QString::fromUtf8("m-%1 \"quoted\" \\ یونیکد ✅").arg(i + 1));
        }
        QTest::qWait(500);
        QCOMPARE(started.count(), 30);
    }

    // While the window is hidden nothing collects the page's messages; they wait in the page.
    void messagesQueuedWhileHiddenArriveWhenShown()
    {
        openDashboardPage();
        QSignalSpy started(m_window.get(), &DashboardWindow::matchStarted);
        m_window->hide();
        QTest::qWait(200);
        runJavaScript(QStringLiteral("sendToLauncher('match:started', 'm-hidden')"));
        QTest::qWait(1000);
        QCOMPARE(started.count(), 0);

        m_window->show();
        QTRY_COMPARE_WITH_TIMEOUT(started.count(), 1, 5000);
        QCOMPARE(started.constFirst().constFirst().toString(), QStringLiteral("m-hidden"));
    }

    void burstButtonDeliversAcrossItsReload()
    {
        openDashboardPage();
        LogCapture log;
        clickInPage(QStringLiteral("send-burst"));
        const QString line = QStringLiteral("Web message received - channel: test:burst");
        QTRY_COMPARE_WITH_TIMEOUT(log.count(line), 20, 15000);
        QTest::qWait(500);
        QCOMPARE(log.count(line), 20);
    }

    void logoutAddressLogsOut()
    {
        openDashboardPage();
        QSignalSpy logout(m_window.get(), &DashboardWindow::logoutRequested);
        clickInPage(QStringLiteral("logout-link"));
        QTRY_COMPARE(logout.count(), 1);
    }

    void foreignLinkGoesToTheBrowser()
    {
        UrlCatcher catcher;
        openDashboardPage();
        clickInPage(QStringLiteral("foreign-link"));
        QTRY_COMPARE(catcher.opened, QList<QUrl>({QUrl("https://example.org/corvanta")}));

        // The dashboard stays, uncovered and working.
        QTest::qWait(1000);
        QCOMPARE(webView()->property("title").toString(), QStringLiteral("Corvanta Dashboard"));
        QVERIFY(!item("loadingCover")->isVisible());
        QVERIFY(!item("errorCover")->isVisible());
        QSignalSpy joined(m_window.get(), &DashboardWindow::lobbyJoined);
        clickInPage(QStringLiteral("send-lobby-joined"));
        QTRY_COMPARE(joined.count(), 1);
        QCOMPARE(catcher.opened.size(), 1);
    }

    void allowedHostStaysInTheView()
    {
        UrlCatcher catcher;
        openDashboardPage();
        clickInPage(QStringLiteral("tournaments-link"));
        QTRY_COMPARE(webView()->property("title").toString(), QStringLiteral("Tournaments"));
        QCOMPARE(webView()->property("url").toUrl().host(), QStringLiteral("localhost"));
        QVERIFY(catcher.opened.isEmpty());
    }

    void failedLoadShowsTheErrorCover()
    {
        openWindow(unusedPortUrl());
        QTRY_VERIFY_WITH_TIMEOUT(item("errorCover")->isVisible(), 20000);
        QVERIFY(!item("loadingCover")->isVisible());
        const QString text = item("errorText")->property("text").toString();
        QVERIFY2(text.startsWith(QLatin1String("Failed to load: ")) && text.size() > 16,
                 qPrintable(text));
        m_window->grabWindow().save(QDir::temp().filePath(QStringLiteral("corvanta-dashboard-error.png")));

        // Retry shows the loading cover and loads again, which fails again.
        QSignalSpy cover(item("loadingCover"), &QQuickItem::visibleChanged);
        const QPointF retry = item("retryButton")->mapToScene(QPointF(60, 20));
        QTest::mouseClick(m_window.get(), Qt::LeftButton, Qt::NoModifier, retry.toPoint());
        // Back to the error cover, the loading cover shown and gone in between: the new load
        // fails too, or the engine never starts it.
        QTRY_VERIFY_WITH_TIMEOUT(item("errorCover")->isVisible() && cover.count() >= 2, 20000);
        QVERIFY(!item("loadingCover")->isVisible());

        QSignalSpy logout(m_window.get(), &DashboardWindow::logoutRequested);
        const QPointF logoutButton = item("logoutButton")->mapToScene(QPointF(60, 20));
        QTest::mouseClick(m_window.get(), Qt::LeftButton, Qt::NoModifier, logoutButton.toPoint());
        QCOMPARE(logout.count(), 1);
    }
};

CORVANTA_WEBVIEW_TEST_MAIN(TestDashboardWindow)
#include "tst_dashboardwindow.moc"
