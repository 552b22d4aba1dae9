#include "LauncherApplication.h"
#include "LogCapture.h"
#include "LoginWindow.h"
#include "OverlayController.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTimer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestLauncherApplication : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_config;

private slots:
    void initTestCase()
    {
        // No stored session of the machine's user can reach the test.
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qputenv("API_BASE_URL", "http://127.0.0.1:9");
    }

    void constructionAndInitialization()
    {
        LogCapture log;
        LauncherApplication launcher;
        const QStringList created = {"Creating LauncherApplication...",
                                     "AuthManager initialized",
                                     "ApiClient initialized with base URL: http://127.0.0.1:9",
                                     "SteamLauncher initialized",
                                     "Creating OverlayController...",
                                     "OverlayController created successfully",
                                     "LauncherApplication created"};
        QCOMPARE(log.among(created), created);
        log.clear();
        QVERIFY(launcher.initialize());
        // The offscreen platform has no system tray: the launcher runs on without one.
        const QStringList initialized = {"Initializing LauncherApplication...",
                                         "System tray initialization failed",
                                         "NotificationService initialized",
                                         "Initializing OverlayController...",
                                         "OverlayController initialized successfully",
                                         "LoginWindow created",
                                         "LauncherApplication initialized successfully"};
        QCOMPARE(log.among(initialized), initialized);
        QVERIFY(!launcher.overlayController()->isRunning());
    }

    void runBeforeInitializeDoesNothing()
    {
        LauncherApplication launcher;
        QSignalSpy ready(&launcher, &LauncherApplication::applicationReady);
        LogCapture log;
        launcher.run();
        QCOMPARE(log.texts(), QStringList({"LauncherApplication not initialized!"}));
        QVERIFY(log.rawLines().constFirst().startsWith(QLatin1String("[ERROR] ")));
        QCOMPARE(ready.count(), 0);
    }

    void runAnnouncesReadyOnce()
    {
        LauncherApplication launcher;
        QVERIFY(launcher.initialize());
        QSignalSpy ready(&launcher, &LauncherApplication::applicationReady);
        LogCapture log;
        launcher.run();
        QCOMPARE(log.texts(), QStringList({"Running LauncherApplication...",
                                           "Attempting to restore session...",
                                           "No saved session found",
                                           "No session found, showing login..."}));
        QCOMPARE(ready.count(), 1);
    }

    void destructionStopsServicesThenAnnouncesShutdown()
    {
        auto launcher = std::make_unique<LauncherApplication>();
        QVERIFY(launcher->initialize());
        QStringList seenAtShutdown;
        LogCapture log;
        connect(launcher.get(), &LauncherApplication::applicationShuttingDown, this,
                [&] { seenAtShutdown = log.texts(); });
        launcher.reset();
        QCOMPARE(seenAtShutdown, QStringList({"LauncherApplication shutting down...",
                                              "Stopping services...", "Disconnecting WebSocket...",
                                              "Services stopped"}));
        // The overlay controller goes after that, with its windows.
        QCOMPARE(log.texts().indexOf("OverlayController destroyed"), seenAtShutdown.size());
    }

    // The offscreen platform has no tray: closing the only window ends the event loop, and so
    // the program, with the exit code of "Quit".
    void withoutTrayClosingTheLastWindowQuits()
    {
        LauncherApplication launcher;
        QVERIFY(launcher.initialize());
        launcher.run();
        LoginWindow *login = nullptr;
        for (QWindow *window : QGuiApplication::topLevelWindows())
            login = login ? login : qobject_cast<LoginWindow *>(window);
        QVERIFY(login);
        QTRY_VERIFY(login->isVisible());
        LogCapture log;
        QTimer::singleShot(0, login, &QWindow::close);
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(42); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(log.texts().contains(QStringLiteral("No system tray to reopen a window from: quitting")));
    }
};

QTEST_MAIN(TestLauncherApplication)
#include "tst_launcherapplication.moc"
