#include "ApiClient.h"
#include "DesktopActions.h"
#include "LogCapture.h"
#include "NotificationService.h"
#include "SystemTrayManager.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

// The tray icon on the virtual desktop's real tray host (trayer).
class TestSystemTrayManager : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SystemTrayManager> m_tray;

    // Whether the red dot is drawn in the top-right 12 x 12 square of the icon.
    static bool hasRedDot(const QIcon &icon)
    {
        const QImage image = icon.pixmap(32, 32).toImage();
        int red = 0;
        for (int y = 0; y < 12; ++y) {
            for (int x = image.width() - 12; x < image.width(); ++x)
                red += image.pixelColor(x, y) == QColor(239, 68, 68);
        }
        return red >= 60; // most of the circle of diameter 12
    }

private slots:
    void init()
    {
        m_tray = std::make_unique<SystemTrayManager>();
        QVERIFY(m_tray->initialize());
    }

    void cleanup() { m_tray.reset(); }

    void iconMenuAndActivation()
    {
        QSystemTrayIcon *icon = m_tray->trayIcon();
        QVERIFY(icon->isVisible());
        QCOMPARE(icon->toolTip(), QStringLiteral("Corvanta"));
        QVERIFY(!hasRedDot(icon->icon()));
        // Embedded by the tray host: it has a place on screen.
        QTRY_VERIFY(icon->geometry().isValid());

        QStringList entries;
        for (QAction *action : icon->contextMenu()->actions())
            entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(entries, QStringList({"Show Window", "-", "Quit"}));

        // "Show Window", a click and a double click open the launcher; the context menu does not.
        QSignalSpy open(m_tray.get(), &SystemTrayManager::openLauncherRequested);
        icon->contextMenu()->actions().constFirst()->trigger();
        for (const auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick,
                                  QSystemTrayIcon::Context})
            emit icon->activated(reason);
        QCOMPARE(open.count(), 3);
    }

    void badge_data()
    {
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<bool>("dot");
        QTest::addColumn<int>("logLines");
        QTest::addRow("unread") << QList<int>{3} << true << 1;
        QTest::addRow("same count twice") << QList<int>{3, 3} << true << 1;
        QTest::addRow("back to zero") << QList<int>{5, 0} << false << 2;
        QTest::addRow("negative") << QList<int>{5, -1} << false << 2;
        QTest::addRow("zero at start changes nothing") << QList<int>{0} << false << 0;
    }

    void badge()
    {
        QFETCH(QList<int>, counts);
        QFETCH(bool, dot);
        QFETCH(int, logLines);
        LogCapture log;
        for (int count : counts)
            m_tray->updateBadge(count);
        QCOMPARE(hasRedDot(m_tray->trayIcon()->icon()), dot);
        QCOMPARE(log.texts().size(), logLines); // one line per real change
    }

    // A burst: the balloons are paced and summed up, the icon is redrawn only when its look
    // changes, and none of it holds up the caller.
    void burstIsPacedAndSummedUp()
    {
        ApiClient api;
        NotificationService service(&api, m_tray->trayIcon());
        LogCapture log;
        QElapsedTimer clock;
        clock.start();
        m_tray->updateBadge(1);
        const qint64 markedIcon = m_tray->trayIcon()->icon().cacheKey();
        for (int i = 1; i <= 10000; ++i) {
            const bool urgent = i == 5000;
            service.showNotification(QStringLiteral("Title %1").arg(i), QStringLiteral("Message"),
                                     urgent ? QSystemTrayIcon::Critical
                                            : QSystemTrayIcon::Information);
            m_tray->updateBadge(i);
        }
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(m_tray->trayIcon()->icon().cacheKey(), markedIcon);
        QVERIFY(hasRedDot(m_tray->trayIcon()->icon()));

        const QString shown = QStringLiteral("Notification shown: ");
        QCOMPARE(log.texts().filter(shown), QStringList({shown + "Title 1 - Message"}));
        // A second later: the most urgent of the 9,999 held, with the count of the others.
        QTRY_COMPARE(log.texts().filter(shown).size(), 2);
        QVERIFY2(clock.elapsed() >= NotificationService::BalloonIntervalMs,
                 qPrintable(QString::number(clock.elapsed())));
        const QString summary = log.texts().filter(shown).constLast();
        QVERIFY2(summary.startsWith(shown + "Title 5000 - Message")
                     && summary.endsWith(QLatin1String("(+9998 more)")),
                 qPrintable(summary));
        QTest::qWait(NotificationService::BalloonIntervalMs + 200);
        QCOMPARE(log.texts().filter(shown).size(), 2);

        // Once the pace has passed, the next notification shows at once.
        service.showNotification(QStringLiteral("Later"), QStringLiteral("Message"),
                                 QSystemTrayIcon::Information);
        QCOMPARE(log.texts().filter(shown).constLast(), shown + "Later - Message");
    }

    void realClickOnTheIcon()
    {
        QSignalSpy open(m_tray.get(), &SystemTrayManager::openLauncherRequested);
        QVERIFY(actOnTrayIcon(QCoreApplication::applicationPid(), QStringLiteral("click 1")));
        QTRY_COMPARE(open.count(), 1);
        QTest::qWait(300);
        QCOMPARE(open.count(), 1);
    }

    void quitAnnouncesBeforeTheLoopEnds()
    {
        QStringList order;
        connect(m_tray.get(), &SystemTrayManager::quitRequested, this,
                [&] { order << "quitRequested"; });
        QAction *quit = m_tray->trayIcon()->contextMenu()->actions().constLast();
        QTimer::singleShot(0, quit, &QAction::trigger);
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(42); });
        // Quitting ends the application's own event loop, so run that one.
        const int code = QCoreApplication::exec();
        order << "loop ended";
        QCOMPARE(code, 0);
        QCOMPARE(order, QStringList({"quitRequested", "loop ended"}));
    }
};

QTEST_MAIN(TestSystemTrayManager)
#include "tst_systemtraymanager.moc"
