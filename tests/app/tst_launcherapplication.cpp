#include "LauncherApplication.h"
#include "LogCapture.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestLauncherApplication : public QObject
{
    Q_OBJECT

private slots:
    void constructionAndInitialization()
    {
        LogCapture log;
        LauncherApplication launcher;
        QCOMPARE(log.texts(), QStringList({"Creating LauncherApplication...",
                                           "LauncherApplication created"}));
        log.clear();
        QVERIFY(launcher.initialize());
        QCOMPARE(log.texts(), QStringList({"Initializing LauncherApplication...",
                                           "LauncherApplication initialized successfully"}));
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
        QCOMPARE(log.texts().constFirst(), QStringLiteral("Running LauncherApplication..."));
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
                                              "Stopping services...", "Services stopped"}));
    }
};

QTEST_MAIN(TestLauncherApplication)
#include "tst_launcherapplication.moc"
