#include "DesktopActions.h"
#include "MatchRun.h"
#include "MatchTestCase.h"
#include "PlatformSimulator.h"
#include "WindowPing.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <memory>

#include <unistd.h>

// The signed-in launcher binary under sustained use, against the simulator on the virtual
// desktop: the same action many times over, and what it costs each time.
class TestLauncherSoak : public MatchTestCase
{
    Q_OBJECT

private:

    // Resident memory of a process, in KiB.
    static qint64 residentKiB(qint64 pid)
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        static const QRegularExpression rss(QStringLiteral("^VmRSS:\\s+(\\d+) kB"),
                                            QRegularExpression::MultilineOption);
        return rss.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
    }

    static quint32 dashboardWindow()
    {
        QProcess search;
        search.start(QStringLiteral("xdotool"),
                     {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                      QStringLiteral("--name"), QStringLiteral("^Corvanta$")});
        search.waitForFinished();
        return search.readAllStandardOutput().split('\n').constFirst().toUInt();
    }

    static bool dashboardVisible()
    {
        return runShell(QStringLiteral("xdotool search --onlyvisible --name '^Corvanta$' >/dev/null"))
            == 0;
    }

    static bool closeDashboard()
    {
        // The window manager's close key, as a real key press: openbox ignores synthetic ones.
        return runShell(QStringLiteral("w=$(xdotool search --onlyvisible --name '^Corvanta$' | head -n 1)"
                                       " && xdotool windowactivate --sync $w && xdotool key alt+F4"))
            == 0
            && QTest::qWaitFor([] { return !dashboardVisible(); }, 5000);
    }

    // Each thread keeps its own list of the processes it started.
    static QList<qint64> childrenOf(qint64 pid)
    {
        QList<qint64> children;
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
        for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile list(tasks.filePath(task + QStringLiteral("/children")));
            if (!list.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray &child : list.readAll().simplified().split(' ')) {
                if (!child.isEmpty())
                    children << child.toLongLong();
            }
        }
        return children;
    }

    static qint64 residentKiBOfTree(qint64 pid)
    {
        qint64 kib = residentKiB(pid);
        for (const qint64 child : childrenOf(pid))
            kib += residentKiBOfTree(child);
        return kib;
    }

    // CPU time in clock ticks of the process alone, or with its descendants (the web engine's
    // helpers).
    static qint64 cpuTicks(qint64 pid, bool withDescendants = true)
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return 0;
        // The fields after the command name, which is in parentheses and may hold spaces.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        qint64 ticks = fields.value(11).toLongLong() + fields.value(12).toLongLong();
        for (const qint64 child : withDescendants ? childrenOf(pid) : QList<qint64>())
            ticks += cpuTicks(child);
        return ticks;
    }

private slots:
    // A burst of notifications with a tray, and a server that pings every two seconds: every
    // event is handled in order while the link stays up, and the program never falls behind.
    void burstOfNotificationsArrivesInOrderOnAStableLink()
    {
        PlatformSimulator simulator;
        QVERIFY(simulator.start({"--ping-interval", "2000", "--ping-timeout", "1000"}));
        MatchRun run(&simulator);
        QVERIFY(run.startSignedIn(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234")));
        LauncherProcess &launcher = run.launcher();
        QTRY_VERIFY_WITH_TIMEOUT(dashboardWindow() != 0, 10000);
        // Start-up (the web engine's above all) may hold the event loop past this short ping
        // timeout, and the link is then opened again: the burst goes out once two more pings
        // were answered.
        const auto pongs = [&launcher] {
            return launcher.texts().count(QStringLiteral("💓 Received server PING, sending PONG"));
        };
        const qsizetype answered = pongs();
        QTRY_VERIFY_WITH_TIMEOUT(pongs() >= answered + 2, 15000);
        const qsizetype before = launcher.lines().size();

        WindowPing ping(dashboardWindow());
        QVERIFY(ping.isValid());

        const int burst = 10000;
        const QString last = QStringLiteral("🔔 Notification: SYSTEM - Burst #%1").arg(burst);
        QNetworkAccessManager network;
        QNetworkRequest request(QUrl(simulator.url() + QStringLiteral("/__control/socket/notify")));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        std::unique_ptr<QNetworkReply> reply(network.post(
            request, QJsonDocument(QJsonObject{
                                       {"email", "player@corvanta.test"},
                                       {"notification", QJsonObject{{"type", "SYSTEM"},
                                                                    {"title", "Burst"},
                                                                    {"message", "One of many"}}},
                                       {"repeat", burst}})
                         .toJson()));
        // The window manager's ping, every few milliseconds while the burst is handled.
        QElapsedTimer clock;
        clock.start();
        int longestPingMs = 0;
        int pings = 0;
        qint64 handledMs = -1;
        while (handledMs < 0 && clock.elapsed() < 60000) {
            const int roundTrip = ping.roundTripMs(5000);
            QVERIFY2(roundTrip >= 0, "the launcher did not answer the window manager's ping");
            longestPingMs = qMax(longestPingMs, roundTrip);
            ++pings;
            if (pings % 20 == 0 && launcher.texts().contains(last))
                handledMs = clock.elapsed();
            QTest::qWait(5);
        }
        QVERIFY(handledMs >= 0);
        // Three more pings must be answered on the same link.
        QTest::qWait(6000);

        QStringList titles;
        int balloons = 0;
        const QList<LauncherProcess::Line> lines = launcher.lines().mid(before);
        for (const LauncherProcess::Line &line : lines) {
            balloons += line.log.text.startsWith(QLatin1String("Notification shown: "));
            if (line.log.text.startsWith(QStringLiteral("🔔 Notification: SYSTEM - ")))
                titles << line.log.text.section(QLatin1String(" - "), 1);
        }
        qInfo("%d notifications handled within %lld ms; %d pings answered, the slowest after %d ms; "
              "%d balloons", burst, handledMs, pings, longestPingMs, balloons);
        QCOMPARE(titles.size(), burst);
        for (int i = 0; i < burst; ++i)
            QCOMPARE(titles.at(i), QStringLiteral("Burst #%1").arg(i + 1));
        QVERIFY2(longestPingMs < 100, qPrintable(QString::number(longestPingMs)));
        QVERIFY(balloons <= handledMs / 1000 + 8);
        for (const LauncherProcess::Line &line : lines)
            QVERIFY2(line.log.text != QLatin1String("❌ WebSocket disconnected"), "the link dropped");
        QCOMPARE(simulator.control("GET", QStringLiteral("/__control/socket/links"))
                     .object()
                     .value("links")
                     .toInt(),
                 1);
    }

    // Every reopen from the tray replaces the dashboard; what the old one held must go with it.
    void reopeningTheDashboardKeepsMemoryFlat()
    {
        MatchRun run(&m_simulator);
        QVERIFY(run.startSignedIn(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234")));
        LauncherProcess &launcher = run.launcher();
        QTRY_VERIFY_WITH_TIMEOUT(dashboardVisible(), 10000);
        QTest::qWait(3000);

        const int cycles = 14;
        QList<qint64> resident;
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            QVERIFY(closeDashboard());
            QVERIFY(actOnTrayIcon(launcher.processId(), QStringLiteral("click 1")));
            QTRY_COMPARE_WITH_TIMEOUT(launcher.texts().count(QStringLiteral("Creating DashboardWindow...")),
                                      cycle + 1, 10000);
            QTRY_VERIFY_WITH_TIMEOUT(dashboardVisible(), 10000);
            // The page loads and settles.
            QTest::qWait(2500);
            resident << residentKiB(launcher.processId());
        }
        QStringList figures;
        for (qint64 kib : resident)
            figures << QString::number(kib / 1024);
        qInfo("resident MiB after each of %d reopenings: %s", cycles, qPrintable(figures.join(' ')));
        // The first five and the last five are nine reopenings apart: 340 KiB kept each time
        // would show (twenty reopenings grew by 1 MiB in all). The median steps over a figure
        // caught while a frame's buffer is alive.
        const auto median = [](QList<qint64> five) {
            std::sort(five.begin(), five.end());
            return five.at(2);
        };
        const qint64 growthKiB = median(resident.mid(cycles - 5)) - median(resident.mid(0, 5));
        QVERIFY2(growthKiB < 3 * 1024, qPrintable(QString::number(growthKiB / 1024)));
    }

    // Signed in with the dashboard put away in the tray, the launcher should cost next to
    // nothing. CORVANTA_IDLE_SECONDS sets how long it is watched: an hour, outside CI. Over half a
    // minute the figure says little: the first minutes after hiding cost several times what the
    // hour does (1.47 % against 0.16 % on the same machine), while the web engine settles.
    void idleWithTheDashboardHiddenCostsLittle()
    {
        const int seconds = qEnvironmentVariableIntValue("CORVANTA_IDLE_SECONDS");
        if (seconds <= 0)
            QSKIP("set CORVANTA_IDLE_SECONDS (3600 for the hour) to watch the idle launcher");
        MatchRun run(&m_simulator);
        QVERIFY(run.startSignedIn(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234")));
        const qint64 pid = run.launcher().processId();
        QTRY_VERIFY_WITH_TIMEOUT(dashboardVisible(), 10000);
        QTest::qWait(3000);
        QVERIFY(closeDashboard());
        QTest::qWait(5000);

        const qint64 ticksBefore = cpuTicks(pid);
        const qint64 ownTicksBefore = cpuTicks(pid, false);
        const qint64 launcherBefore = residentKiB(pid);
        const qint64 treeBefore = residentKiBOfTree(pid);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < seconds * 1000LL) {
            QTest::qWait(int(qMin<qint64>(60000, seconds * 1000LL - clock.elapsed())));
            if (seconds > 60)
                qInfo("%lld s: launcher %lld MiB, with the web engine %lld MiB", clock.elapsed() / 1000,
                      residentKiB(pid) / 1024, residentKiBOfTree(pid) / 1024);
        }
        const double perTick = 1.0 / sysconf(_SC_CLK_TCK) / (double(clock.elapsed()) / 1000);
        const double cpuShare = double(cpuTicks(pid) - ticksBefore) * perTick;
        const double ownShare = double(cpuTicks(pid, false) - ownTicksBefore) * perTick;
        qInfo("idle for %lld s with the dashboard hidden: %.2f %% of a core (the launcher alone "
              "%.2f %%); resident: launcher %lld -> %lld MiB, with the web engine %lld -> %lld MiB",
              clock.elapsed() / 1000, cpuShare * 100, ownShare * 100, launcherBefore / 1024,
              residentKiB(pid) / 1024, treeBefore / 1024, residentKiBOfTree(pid) / 1024);
        // Before, the hidden dashboard's poll and a hidden animation cost 1.4 %.
        QVERIFY2(cpuShare < 0.005, qPrintable(QString::number(cpuShare * 100)));
        QVERIFY(run.launcher().exitCode() == 0 && !run.launcher().waitForExit(0));
    }
};

QTEST_GUILESS_MAIN(TestLauncherSoak)
#include "tst_launchersoak.moc"
