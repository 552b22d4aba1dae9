#include "LauncherProcess.h"

#include <QDir>
#include <QTest>

namespace {

const QStringList bannerHead = {"==================================", "  Corvanta Launcher v1.0",
                                "==================================", "", "Configuration:"};

bool startsUp(LauncherProcess &launcher)
{
    return launcher.start()
        && launcher.waitForText(QStringLiteral("Launcher initialized successfully"));
}

// Another start beside a running launcher exits at once with 1.
bool refused(LauncherProcess &launcher)
{
    return launcher.start() && launcher.waitForExit(5000) && launcher.exitCode() == 1;
}

} // namespace

class TestLauncherProcess : public QObject
{
    Q_OBJECT

private slots:
    void secondInstanceRefusedUntilTheFirstIsKilled()
    {
        QTemporaryDir shared;
        LauncherProcess first(shared.path());
        QVERIFY(startsUp(first));

        LauncherProcess second(shared.path());
        QVERIFY(refused(second));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.texts(),
                 QStringList({"Another instance of Corvanta Launcher is already running!",
                              "Only one instance is allowed. Exiting..."}));
        // The lock is given 100 ms; the rest is the process starting up and tearing down, about
        // half a second here, which a loaded machine or an instrumented build can double.
        QVERIFY2(second.runtimeMs() < 2000, qPrintable(QString::number(second.runtimeMs())));
        qInfo("second instance ended after %lld ms", second.runtimeMs());

        // A killed instance leaves its lock behind; the next start takes it over.
        first.stop();
        QVERIFY(QFile::exists(shared.filePath(QStringLiteral("CorvantaLauncherSingleton.lock"))));

        LauncherProcess next(shared.path());
        QVERIFY(startsUp(next));
    }

    // The temporary folder is shared by every user of the machine; the lock is the user's own.
    void eachUsersOwnLock()
    {
        QTemporaryDir sharedTemp, runtimeA, runtimeB;
        LauncherProcess first(sharedTemp.path());
        first.setVariable(QStringLiteral("XDG_RUNTIME_DIR"), runtimeA.path());
        QVERIFY(startsUp(first));

        LauncherProcess otherUser(sharedTemp.path());
        otherUser.setVariable(QStringLiteral("XDG_RUNTIME_DIR"), runtimeB.path());
        QVERIFY(startsUp(otherUser));

        const QString lock = QStringLiteral("/CorvantaLauncherSingleton.lock");
        QVERIFY(QFile::exists(runtimeA.path() + lock));
        QVERIFY(QFile::exists(runtimeB.path() + lock));
        QVERIFY(!QFile::exists(sharedTemp.path() + lock));
    }

    void withoutRuntimeFolderTheLockIsInAPrivateOne()
    {
        QTemporaryDir sharedTemp;
        LauncherProcess first(sharedTemp.path());
        first.unsetVariable(QStringLiteral("XDG_RUNTIME_DIR"));
        QVERIFY(startsUp(first));
        const QStringList folders = QDir(sharedTemp.path()).entryList({"runtime-*"}, QDir::Dirs);
        QCOMPARE(folders.size(), 1);
        const QString folder = sharedTemp.filePath(folders.constFirst());
        QVERIFY(QFile::exists(folder + QStringLiteral("/CorvantaLauncherSingleton.lock")));
        QCOMPARE(QFile::permissions(folder) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

        LauncherProcess second(sharedTemp.path());
        second.unsetVariable(QStringLiteral("XDG_RUNTIME_DIR"));
        QVERIFY(refused(second));
    }

    void banner_data()
    {
        QTest::addColumn<QStringList>("variables"); // NAME=value pairs
        QTest::addColumn<QStringList>("configuration");

        QTest::addRow("defaults") << QStringList()
                                  << QStringList({"  API Base URL: https://corvanta.gg",
                                                  "  WebSocket URL: https://ws.corvanta.gg:3002",
                                                  "  Log Level: INFO",
                                                  "  Environment: development"});
        QTest::addRow("all given")
            << QStringList({"API_BASE_URL=http://127.0.0.1:8080",
                            "WEBSOCKET_URL=http://127.0.0.1:3002", "LOG_LEVEL=debug",
                            "NODE_ENV=production", "ENV=production"})
            << QStringList({"  API Base URL: http://127.0.0.1:8080",
                            "  WebSocket URL: http://127.0.0.1:3002", "  Log Level: DEBUG",
                            "  Environment: production"});
    }

    void banner()
    {
        QFETCH(QStringList, variables);
        QFETCH(QStringList, configuration);

        LauncherProcess launcher;
        for (const QString &assignment : variables) {
            const qsizetype equals = assignment.indexOf(QLatin1Char('='));
            launcher.setVariable(assignment.left(equals), assignment.mid(equals + 1));
        }
        QVERIFY(startsUp(launcher));

        QCOMPARE(launcher.texts().mid(0, 10), bannerHead + configuration + QStringList({""}));
        // Nothing but log lines, and the banner's all at INFO.
        QCOMPARE(launcher.lines().size(), launcher.texts().size());
        for (const LauncherProcess::Line &line : launcher.lines().mid(0, 10))
            QCOMPARE(line.log.tag, QStringLiteral("INFO"));
    }

    void startupOrderRunsLauncherAfterSplash()
    {
        LauncherProcess launcher;
        launcher.setVariable(QStringLiteral("API_BASE_URL"), QStringLiteral("http://127.0.0.1:9"));
        QVERIFY(launcher.start());
        QVERIFY(launcher.waitForText(QStringLiteral("No session found, showing login...")));

        // The launcher runs once the splash has played, not beside it.
        const QStringList texts = launcher.texts();
        QVERIFY(texts.indexOf(QStringLiteral("Launcher initialized successfully"))
                < texts.indexOf(QStringLiteral("SplashScreen created")));
        QVERIFY(texts.indexOf(QStringLiteral("Splash animation finished"))
                < texts.indexOf(QStringLiteral("Running LauncherApplication...")));

        const auto arrivedMs = [&launcher](const QString &text) {
            for (const LauncherProcess::Line &line : launcher.lines()) {
                if (line.log.text == text)
                    return line.arrivedMs;
            }
            return qint64(-1);
        };
        const qint64 splashMs = arrivedMs(QStringLiteral("Splash animation finished"))
            - arrivedMs(QStringLiteral("SplashScreen created"));
        qInfo("splash ran %lld ms", splashMs);
        QVERIFY2(splashMs >= 1900 && splashMs <= 3000, qPrintable(QString::number(splashMs)));
    }
};

QTEST_GUILESS_MAIN(TestLauncherProcess)
#include "tst_launcherprocess.moc"
