#include "AuthManager.h"
#include "DashboardWindow.h"
#include "LogCapture.h"
#include "PlatformSimulator.h"
#include "PrivateSettings.h"
#include "QuickItems.h"
#include "UrlCatcher.h"
#include "WebViewTestMain.h"

#include <QGuiApplication>
#include <QJsonDocument>
#include <QScreen>
#include <QQuickItem>
#include <QSignalSpy>
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
    PrivateSettings m_settings;
    PlatformSimulator m_simulator;
    std::unique_ptr<AuthManager> m_auth;
    std::unique_ptr<DashboardWindow> m_window;
    // Never shown, for the cases that need no page; the platform address is read on every call.
    std::unique_ptr<DashboardWindow> m_hidden;

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

    void press(const char *name)
    {
        QTest::mouseClick(m_window.get(), Qt::LeftButton, Qt::NoModifier, centreOf(*item(name)));
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
        QVERIFY(item("loadingCover")->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(webView()->property("title").toString(),
                                  QStringLiteral("Corvanta Dashboard"), 20000);
        QTRY_VERIFY(!item("loadingCover")->isVisible());
        QVERIFY(!item("errorCover")->isVisible());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_simulator.start());
        m_auth = std::make_unique<AuthManager>();
        qputenv("API_BASE_URL", offlineBase.toUtf8());
        m_hidden = std::make_unique<DashboardWindow>(m_auth.get());
    }

    void init()
    {
        m_auth->saveSession(m_simulator.tokenFor(QStringLiteral("player@corvanta.test")),
                            QStringLiteral("u-1001"), QStringLiteral("Demo Player"),
                            QStringLiteral("player@corvanta.test"), QString());
    }

    void cleanup() { m_window.reset(); }

    void cleanupTestCase() { m_hidden.reset(); }

    // The address follows the session; the token is in it but never in the log.
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
        qputenv("API_BASE_URL", offlineBase.toUtf8());
        DashboardWindow window(m_auth.get());
        QSignalSpy changes(&window, &DashboardWindow::dashboardUrlChanged);
        LogCapture log;
        m_auth->saveSession(token, {}, {}, {}, {});
        QCOMPARE(window.dashboardUrl(), expected);
        QCOMPARE(changes.count(), 1);
        const QString logged = log.rawLines().join('\n');
        QCOMPARE(logged.contains(QLatin1String("Dashboard URL set: "
                                               "http://127.0.0.1:9/launcher-auth?token=...")),
                 !token.isEmpty());
        if (!token.isEmpty())
            QVERIFY2(!logged.contains(token), qPrintable(logged));
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
        QTest::addRow("loopback, local platform") << "http://127.0.0.1:9/" << true << "view";
        QTest::addRow("other loopback") << "http://127.0.0.2/" << true << "browser";
        QTest::addRow("suffix without dot") << "https://evilcorvanta.gg/" << false << "browser";
        QTest::addRow("domain as a prefix") << "https://corvanta.gg.evil.com/" << false << "browser";
        QTest::addRow("domain in user info") << "https://corvanta.gg@evil.com/" << false << "browser";
        QTest::addRow("trailing dot") << "https://corvanta.gg./" << false << "browser";
        QTest::addRow("sign-out") << "app://logout" << false << "logout";
        QTest::addRow("sign-out in a query") << "https://evil.com/?next=app://logout" << false << "browser";
        QTest::addRow("sign-out with a query") << "app://logout?x=1" << false << "refused";
        QTest::addRow("sign-out with an unreadable port") << "app://logout:x" << false << "refused";
        QTest::addRow("platform with an unreadable port") << "https://corvanta.gg:x/" << false << "browser";
        QTest::addRow("file on the domain") << "file://corvanta.gg/etc/passwd" << true << "refused";
        QTest::addRow("javascript") << "javascript://corvanta.gg/%0Aalert(1)" << true << "refused";
        QTest::addRow("ftp") << "ftp://corvanta.gg/" << false << "refused";
        QTest::addRow("empty") << "" << false << "refused";
    }

    void navigation()
    {
        QFETCH(QString, url);
        QFETCH(bool, local);
        QFETCH(QString, where);
        qputenv("API_BASE_URL", local ? offlineBase.toUtf8() : QByteArray("https://corvanta.gg"));
        // Every scheme of the table is caught: a refusal is the window's, not the desktop's.
        UrlCatcher catcher({"http", "https", "app", "file", "javascript", "ftp"});
        QString ended = QStringLiteral("view");
        if (m_hidden->isLogoutUrl(url)) {
            ended = QStringLiteral("logout");
        } else if (!m_hidden->isAllowedUrl(url)) {
            m_hidden->openExternal(url);
            ended = catcher.opened.isEmpty() ? QStringLiteral("refused") : QStringLiteral("browser");
        }
        QCOMPARE(ended, where);
    }

    // `emitted`: each signal sent, with its arguments as JSON.
    void webMessages_data()
    {
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("emitted");
        const QVariantMap match{{"matchId", "m-1"}, {"slotNumber", 3}};
        QTest::addRow("match ready") << "match:ready" << QVariantList{match}
                                     << R"(matchReady[{"matchId":"m-1","slotNumber":3}])";
        QTest::addRow("match ready with a string") << "match:ready" << QVariantList{"x"} << "matchReady[{}]";
        QTest::addRow("match ready without args") << "match:ready" << QVariantList() << "";
        QTest::addRow("match started") << "match:started" << QVariantList{"m-9", "extra"} << R"(matchStarted["m-9"])";
        QTest::addRow("lobby left") << "overlay:lobbyLeft" << QVariantList{1} << "lobbyLeft[]";
        QTest::addRow("slot occupied") << "overlay:slotOccupied" << QVariantList{"dire", 7.0, "x"} << R"(slotOccupied["dire",7])";
        QTest::addRow("slot occupied, one arg") << "overlay:slotOccupied" << QVariantList{"dire"} << "";
        QTest::addRow("channel is case-sensitive") << "Launcher:Logout" << QVariantList() << "";
    }

    void webMessages()
    {
        QFETCH(QString, channel);
        QFETCH(QVariantList, args);
        QFETCH(QString, emitted);
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (const char *name : {SIGNAL(logoutRequested()), SIGNAL(matchReady(QVariantMap)),
                                 SIGNAL(matchStarted(QString)), SIGNAL(lobbyJoined()),
                                 SIGNAL(lobbyLeft()), SIGNAL(slotOccupied(QString, int))})
            spies.push_back(std::make_unique<QSignalSpy>(m_hidden.get(), name));
        m_hidden->handleWebMessage(channel, args);

        QString sent;
        for (const auto &spy : spies) {
            for (const QVariantList &call : *spy)
                sent += QString::fromLatin1(spy->signal()).section('(', 0, 0)
                    + QJsonDocument::fromVariant(call).toJson(QJsonDocument::Compact);
        }
        QCOMPARE(sent, emitted);
    }

    // Thirty messages, then a reload before they are collected: each arrives once, in order, with
    // its text intact. While the window is hidden nothing collects; the messages wait in the page.
    void messagesSurviveAReloadAndHiding()
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
        QTRY_VERIFY(!webView()->property("loading").toBool());
        m_window->hide();
        runJavaScript(QStringLiteral("sendToLauncher('match:started', 'last')"));
        QTest::qWait(800); // eight collection periods: none may run
        QCOMPARE(started.count(), 30);

        m_window->show();
        QTRY_COMPARE_WITH_TIMEOUT(started.count(), 31, 5000);
        QCOMPARE(started.constLast().constFirst().toString(), QStringLiteral("last"));
    }

    // On a 1920 x 1080 screen with a panel the whole window, frame included, lies in the free
    // area. A foreign link, also one naming the sign-out address, goes to the browser and signs
    // nobody out; another scheme is refused. The dashboard stays, uncovered and working.
    void windowFitsAndLinksInThePage()
    {
        UrlCatcher catcher;
        openDashboardPage();
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QTRY_VERIFY(m_window->frameMargins().top() > 0
                    && available.contains(m_window->frameGeometry()));
        QVERIFY(m_window->width() >= m_window->minimumWidth());
        QSignalSpy logout(m_window.get(), &DashboardWindow::logoutRequested);
        LogCapture log;
        clickInPage(QStringLiteral("foreign-link"));
        QTRY_COMPARE(catcher.opened, QList<QUrl>({QUrl("https://example.org/corvanta")}));
        runJavaScript(QStringLiteral("location.href = 'https://example.org/?next=app://logout'"));
        QTRY_COMPARE(catcher.opened, QList<QUrl>({QUrl("https://example.org/corvanta"),
                                                  QUrl("https://example.org/?next=app://logout")}));
        runJavaScript(QStringLiteral("location.href = 'steam://run/570'"));
        QTRY_VERIFY(log.texts().contains(
            QStringLiteral("Refused to open an address with the scheme \"steam\"")));

        QSignalSpy joined(m_window.get(), &DashboardWindow::lobbyJoined);
        clickInPage(QStringLiteral("send-lobby-joined"));
        QTRY_COMPARE(joined.count(), 1);
        QCOMPARE(webView()->property("title").toString(), QStringLiteral("Corvanta Dashboard"));
        QVERIFY(!item("loadingCover")->isVisible());
        QVERIFY(!item("errorCover")->isVisible());
        QCOMPARE(logout.count(), 0);

        // The sign-out link signs out; an allowed host is loaded in the view.
        clickInPage(QStringLiteral("logout-link"));
        QTRY_COMPARE(logout.count(), 1);
        clickInPage(QStringLiteral("tournaments-link"));
        QTRY_COMPARE(webView()->property("title").toString(), QStringLiteral("Tournaments"));
        QCOMPARE(webView()->property("url").toUrl().host(), QStringLiteral("localhost"));
        QCOMPARE(catcher.opened.size(), 2);
    }

    void failedLoadShowsTheErrorCover()
    {
        openWindow(offlineBase);
        QTRY_VERIFY_WITH_TIMEOUT(item("errorCover")->isVisible(), 20000);
        QVERIFY(!item("loadingCover")->isVisible());
        const QString text = item("errorText")->property("text").toString();
        QVERIFY2(text.startsWith(QLatin1String("Failed to load: ")) && text.size() > 16,
                 qPrintable(text));

        // Retry shows the loading cover and loads again, which fails again (or the engine never
        // starts it, and the error cover comes back all the same).
        QSignalSpy cover(item("loadingCover"), &QQuickItem::visibleChanged);
        press("retryButton");
        QTRY_VERIFY_WITH_TIMEOUT(item("errorCover")->isVisible() && cover.count() >= 2, 20000);
        QVERIFY(!item("loadingCover")->isVisible());

        QSignalSpy logout(m_window.get(), &DashboardWindow::logoutRequested);
        press("logoutButton");
        QCOMPARE(logout.count(), 1);
    }
};

CORVANTA_WEBVIEW_TEST_MAIN(TestDashboardWindow)
#include "tst_dashboardwindow.moc"
