#include "DesktopActions.h"
#include "LauncherProcess.h"

#include <QFile>
#include <QProcess>
#include <QTest>

// The real launcher on the virtual desktop with its tray host: quitting from the tray menu, and
// a second start bringing back a closed window.
class TestLauncherTray : public QObject
{
    Q_OBJECT

private:
    // xdotool gives up on an X error, as when a window is destroyed while it looks through them
    // (the splash goes as the login window shows, later under a sanitizer): it is asked again.
    static bool loginWindowVisible()
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            QProcess search;
            search.start(QStringLiteral("xdotool"),
                         {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                          QStringLiteral("--name"), QStringLiteral("^Corvanta - Login$")});
            search.waitForFinished();
            if (!search.readAllStandardError().contains("X Error"))
                return !search.readAllStandardOutput().trimmed().isEmpty();
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "needs the virtual desktop of scripts/test");
    }

    void quitFromTheTrayMenu()
    {
        LauncherProcess launcher;
        launcher.setVariable(QStringLiteral("API_BASE_URL"), QStringLiteral("http://127.0.0.1:9"));
        QVERIFY(launcher.start());
        QVERIFY(launcher.waitForText(QStringLiteral("No session found, showing login...")));
        const QString lock = launcher.tempPath() + QStringLiteral("/CorvantaLauncherSingleton.lock");
        QVERIFY(QFile::exists(lock));

        // Right-click opens the menu, one more window of the launcher's; its last entry is "Quit".
        const QString windows =
            QStringLiteral("[ $(xdotool search --onlyvisible --pid %1 | wc -l) -gt %2 ]").arg(launcher.processId());
        int shown = 0;
        while (runShell(windows.arg(shown)) == 0)
            ++shown;
        QVERIFY(actOnTrayIcon(launcher.processId(), QStringLiteral("click 3")));
        QTRY_COMPARE(runShell(windows.arg(shown)), 0);
        QTest::qWait(100);
        QCOMPARE(runShell(QStringLiteral("xdotool key Up key Return")), 0);

        QVERIFY(launcher.waitForExit(10000));
        QCOMPARE(launcher.exitStatus(), QProcess::NormalExit);
        QCOMPARE(launcher.exitCode(), 0);
        QVERIFY(!QFile::exists(lock));
        QVERIFY(launcher.texts().contains(QStringLiteral("Quit requested from system tray")));
    }

    void secondStartBringsTheClosedWindowBack()
    {
        QTemporaryDir shared;
        LauncherProcess first(shared.path());
        first.setVariable(QStringLiteral("API_BASE_URL"), QStringLiteral("http://127.0.0.1:9"));
        QVERIFY(first.start());
        QVERIFY(first.waitForText(QStringLiteral("No session found, showing login...")));
        QTRY_VERIFY(loginWindowVisible());

        // Closing the window only hides it; the process stays.
        // The window manager's own close key, sent as a real key press (a key sent to a window
        // directly is synthetic, and openbox ignores those).
        QCOMPARE(runShell(QStringLiteral("w=$(xdotool search --onlyvisible --name '^Corvanta - Login$')"
                                   " && xdotool windowactivate --sync $w && xdotool key alt+F4")),
                 0);
        QTRY_VERIFY(!loginWindowVisible());
        QVERIFY(!first.waitForExit(200));

        LauncherProcess second(shared.path());
        QVERIFY(second.start());
        QVERIFY(second.waitForExit(5000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(first.waitForText(QStringLiteral("Another start of the launcher asked for its window")));
        QTRY_VERIFY(loginWindowVisible());
    }
};

QTEST_GUILESS_MAIN(TestLauncherTray)
#include "tst_launchertray.moc"
