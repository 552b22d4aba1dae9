#include "LauncherApplication.h"
#include "LogCapture.h"
#include "LoginWindow.h"
#include "OverlayController.h"
#include "PrivateSettings.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTimer>
#include <QTest>

#include <memory>

class TestLauncherApplication : public QObject
{
    Q_OBJECT

private:
    PrivateSettings m_settings;

private slots:
    void initTestCase()
    {
        qputenv("API_BASE_URL", "http://127.0.0.1:9");
    }

    void runBeforeInitializeDoesNothing()
    {
        LauncherApplication launcher;
        QSignalSpy ready(&launcher, &LauncherApplication::applicationReady);
        LogCapture log;
        launcher.run();
        QCOMPARE(log.texts(), QStringList({"LauncherApplication not initialized!"}));
        QCOMPARE(ready.count(), 0);
    }

    void runAnnouncesReadyOnce()
    {
        LauncherApplication launcher;
        QVERIFY(launcher.initialize());
        QSignalSpy ready(&launcher, &LauncherApplication::applicationReady);
        LogCapture log;
        launcher.run();
        QVERIFY(log.texts().contains(QStringLiteral("No session found, showing login...")));
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
        // Whoever listens for the shutdown finds the services already stopped.
        QCOMPARE(seenAtShutdown.constLast(), QStringLiteral("Services stopped"));
        QVERIFY(!seenAtShutdown.contains(QStringLiteral("OverlayController destroyed")));
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
