#include "AuthManager.h"
#include "DashboardWindow.h"
#include "LauncherApplication.h"
#include "LogCapture.h"
#include "LoginWindow.h"
#include "MatchData.h"
#include "OverlayController.h"
#include "PlatformSimulator.h"
#include "PrivateSettings.h"
#include "WebViewTestMain.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QQuickItem>
#include <QTest>

#include <memory>

// The launcher's sign-in, sign-out and restart flows against the simulator, on the virtual desktop.
class TestLauncherFlows : public QObject
{
    Q_OBJECT

private:
    PrivateSettings m_settings;
    PlatformSimulator m_simulator;

    template<typename Window>
    static Window *findWindow()
    {
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            if (auto *found = qobject_cast<Window *>(window))
                return found;
        }
        return nullptr;
    }

    static std::unique_ptr<LauncherApplication> startLauncher()
    {
        auto launcher = std::make_unique<LauncherApplication>();
        if (!launcher->initialize())
            return nullptr;
        launcher->run();
        return launcher;
    }

    static void signIn(const QString &email, const QString &password)
    {
        LoginWindow *login = findWindow<LoginWindow>();
        QVERIFY(login);
        QTRY_VERIFY(login->isVisible());
        login->login(email, password);
    }

    static void storeSession(const QString &token)
    {
        AuthManager().saveSession(token, QStringLiteral("u-1001"), QStringLiteral("Demo Player"),
                                  QStringLiteral("player@corvanta.test"), QString());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_simulator.start());
        qputenv("API_BASE_URL", m_simulator.url().toUtf8());
        qputenv("WEBSOCKET_URL", m_simulator.url().toUtf8());
    }

    void init()
    {
        AuthManager().clearSession();
        m_simulator.reset();
    }

    QJsonArray socketClients()
    {
        return m_simulator.control("GET", QStringLiteral("/__control/socket/clients")).array();
    }

    int unreadCountRequests()
    {
        int count = 0;
        for (const QJsonValue &request :
             m_simulator.control("GET", QStringLiteral("/__control/requests")).array()) {
            count += request.toObject().value("path").toString()
                == QLatin1String("/api/launcher/notifications/unread-count");
        }
        return count;
    }

    void withoutSessionLoginThenShutdownStopsServicesOnce()
    {
        LogCapture log;
        auto launcher = startLauncher();
        QVERIFY(launcher);
        QVERIFY(!log.texts().contains(QStringLiteral("Starting services...")));
        QTRY_VERIFY(findWindow<LoginWindow>()->isVisible());
        QVERIFY(!findWindow<DashboardWindow>());
        log.clear();
        launcher.reset();
        QCOMPARE(log.count(QStringLiteral("Stopping services...")), 1);
        QVERIFY(!findWindow<LoginWindow>());
    }

    void loginLogoutAndLoginAgain()
    {
        auto launcher = startLauncher();
        QVERIFY(launcher);
        LogCapture log;
        signIn(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234"));
        QTRY_VERIFY(log.texts().contains(QStringLiteral("Services started")));
        DashboardWindow *dashboard = findWindow<DashboardWindow>();
        QVERIFY(dashboard);
        QTRY_VERIFY(dashboard->isVisible());
        QVERIFY(!findWindow<LoginWindow>()->isVisible());
        const QString firstAddress = dashboard->dashboardUrl();
        QVERIFY(firstAddress.startsWith(m_simulator.url() + "/launcher-auth?token="));

        // The dashboard's events reach the overlay; a map without "slotNumber" names slot 0.
        const OverlayController *overlay = launcher->overlayController();
        QVERIFY(overlay->isRunning());
        dashboard->handleWebMessage(QStringLiteral("match:ready"),
                                    {QVariantMap{{"matchId", "m-5"}, {"lobbyName", "Winter Cup"},
                                                 {"playerSide", "Dire"}, {"isCaptain", true}}});
        QVERIFY(overlay->matchData());
        const MatchData match = *overlay->matchData();
        QCOMPARE(match.matchId, QStringLiteral("m-5"));
        QCOMPARE(match.userSide, QStringLiteral("Dire"));
        QCOMPARE(match.slotNumber, 0);
        QVERIFY(match.isCaptain);
        QCOMPARE(overlay->state(), WAITING_FOR_GAME);
        dashboard->handleWebMessage(QStringLiteral("overlay:lobbyJoined"), {});
        dashboard->handleWebMessage(QStringLiteral("overlay:lobbyLeft"), {});
        QCOMPARE(overlay->state(), WAITING_FOR_INVITATION);
        dashboard->handleWebMessage(QStringLiteral("overlay:slotOccupied"),
                                    {QStringLiteral("radiant"), 4});
        QCOMPARE(overlay->state(), JOINING_SLOT);

        dashboard->logout();
        QVERIFY(!overlay->isRunning());
        QCOMPARE(overlay->state(), IDLE);
        QVERIFY(!overlay->matchData());
        QTRY_VERIFY(findWindow<LoginWindow>()->isVisible());
        QVERIFY(!dashboard->isVisible());
        QVERIFY(dashboard->dashboardUrl().isEmpty());
        QVERIFY(!AuthManager().restoreSession());

        // Signing in again reuses the hidden dashboard, already pointed at the new session.
        log.clear();
        signIn(QStringLiteral("captain@corvanta.test"), QStringLiteral("captain1234"));
        QTRY_VERIFY(log.texts().contains(QStringLiteral("Services started")));
        QCOMPARE(log.count(QStringLiteral("Creating DashboardWindow...")), 0);
        QCOMPARE(findWindow<DashboardWindow>(), dashboard);
        QTRY_VERIFY(dashboard->isVisible());
        QVERIFY(dashboard->dashboardUrl() != firstAddress);
        QVERIFY(!dashboard->dashboardUrl().isEmpty());
    }

    void servicesFollowTheSession()
    {
        auto launcher = startLauncher();
        QVERIFY(launcher);
        LogCapture log;
        signIn(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234"));

        // Signed in: the socket is up and the unread count, fetched once, is on the badge.
        QTRY_COMPARE(socketClients().size(), 1);
        QCOMPARE(socketClients().at(0).toObject().value("email").toString(),
                 QStringLiteral("player@corvanta.test"));
        QTRY_VERIFY(log.texts().contains(QStringLiteral("Tray badge updated: 1 unread")));
        QCOMPARE(unreadCountRequests(), 1);

        // A pushed notification becomes a balloon and moves the badge.
        m_simulator.control(
            "POST", QStringLiteral("/__control/socket/notify"),
            QJsonDocument(QJsonObject{{"email", "player@corvanta.test"},
                                      {"notification", QJsonObject{{"type", "LOBBY_READY"},
                                                                   {"title", "Lobby ready"},
                                                                   {"message", "Join now"}}}}));
        QTRY_VERIFY(log.texts().contains(QStringLiteral("Notification shown: Lobby ready - Join now")));
        QTRY_VERIFY(log.texts().contains(QStringLiteral("Tray badge updated: 2 unread")));

        // Signed out: the badge is cleared and the socket closed.
        findWindow<DashboardWindow>()->logout();
        QVERIFY(log.texts().contains(QStringLiteral("Tray badge updated: 0 unread")));
        QTRY_COMPARE(socketClients().size(), 0);
    }

    // A stored token the platform no longer accepts ends the session as a logout does, and the
    // login window tells the user why.
    void refusedSessionSignsOut()
    {
        storeSession(QStringLiteral("revoked-token"));
        LogCapture log;
        auto launcher = startLauncher();
        QVERIFY(launcher);
        LoginWindow *login = findWindow<LoginWindow>();
        QTRY_VERIFY_WITH_TIMEOUT(login->isVisible(), 10000);
        QCOMPARE(login->errorMessage(),
                 QStringLiteral("Your session has expired. Please sign in again."));
        QVERIFY(AuthManager().token().isEmpty());
        QVERIFY(!findWindow<DashboardWindow>() || !findWindow<DashboardWindow>()->isVisible());
        QTest::qWait(1500); // past the first back-off step: nothing reconnects
        QCOMPARE(log.count(QStringLiteral("✅ WebSocket connected, waiting for Engine.IO OPEN packet...")), 1);
    }

    // A stored session skips the login. Reopening replaces a hidden dashboard; what its page
    // queued while hidden is not lost.
    void storedSessionAndReplacedDashboard()
    {
        storeSession(m_simulator.tokenFor(QStringLiteral("player@corvanta.test")));
        auto launcher = startLauncher();
        QVERIFY(launcher);
        QPointer<DashboardWindow> first = findWindow<DashboardWindow>();
        QTRY_VERIFY(first->isVisible());
        QVERIFY(launcher->overlayController()->isRunning());
        QTRY_COMPARE(socketClients().size(), 1);
        QVERIFY(!findWindow<LoginWindow>()->isVisible());
        QObject *webView = first->rootObject()->findChild<QObject *>(QStringLiteral("webView"));
        QTRY_COMPARE_WITH_TIMEOUT(webView->property("title").toString(),
                                  QStringLiteral("Corvanta Dashboard"), 20000);
        first->hide();
        QVERIFY(QMetaObject::invokeMethod(
            webView, "runJavaScript",
            Q_ARG(QString, QStringLiteral("sendToLauncher('match:started', 'm-queued')"))));
        QTest::qWait(500);

        LogCapture log;
        launcher->showWindow();
        QVERIFY(log.texts().contains(QStringLiteral("Recreating DashboardWindow...")));
        QTRY_VERIFY(log.texts().contains(QStringLiteral("Match started: m-queued")));
        QTRY_VERIFY(!first);
        QVERIFY(findWindow<DashboardWindow>()->isVisible());
    }
};

CORVANTA_WEBVIEW_TEST_MAIN(TestLauncherFlows)
#include "tst_launcherflows.moc"
