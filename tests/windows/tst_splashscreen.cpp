#include "LogCapture.h"
#include "SplashScreen.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

// Runs on the virtual desktop that scripts/test provides (1920 x 1080, with a window manager).
class TestSplashScreen : public QObject
{
    Q_OBJECT

private:
    // The 128 x 128 square at the screen's centre, where the splash draws its icon.
    static QImage grabIconSquare()
    {
        return QGuiApplication::primaryScreen()->grabWindow(0, 896, 476, 128, 128).toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    // Share of pixels in the icon's square whose colour is close to the icon's pixel at the same
    // place, drawn over what the desktop showed there before.
    static double iconLikeness(const QImage &screen, const QImage &before)
    {
        QImage icon = before;
        QPainter painter(&icon);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(0, 0, 128, 128), QImage(QStringLiteral(":/images/icon.png")));
        painter.end();
        int alike = 0;
        for (int y = 0; y < 128; ++y) {
            for (int x = 0; x < 128; ++x) {
                const QColor expected = icon.pixelColor(x, y);
                const QColor seen = screen.pixelColor(x, y);
                const int distance = qAbs(expected.red() - seen.red())
                    + qAbs(expected.green() - seen.green()) + qAbs(expected.blue() - seen.blue());
                alike += distance < 60;
            }
        }
        return alike / double(128 * 128);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
                 "this test needs the X server of scripts/test");
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1920, 1080));
    }

    void playsCentredAndShowsTheIcon()
    {
        // The animation starts when the page has loaded, that is within the constructor.
        QElapsedTimer clock;
        clock.start();
        SplashScreen splash;

        bool hiddenWhenFinished = false;
        QSignalSpy finished(&splash, &SplashScreen::finished);
        connect(&splash, &SplashScreen::finished, this,
                [&] { hiddenWhenFinished = !splash.isVisible(); });

        const QImage before = grabIconSquare();
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        // Where the window manager really put it, not just where we asked.
        QTRY_COMPARE(splash.framePosition(), QPoint(810, 390));
        QCOMPARE(splash.geometry(), QRect(810, 390, 300, 300));

        // During the pause the icon is fully opaque. A loaded machine may present that frame late,
        // so the screen is read until the splash has finished, keeping the best likeness.
        double likeness = 0;
        while (finished.count() == 0 && clock.elapsed() < 5000) {
            likeness = qMax(likeness, iconLikeness(grabIconSquare(), before));
            QTest::qWait(40);
        }
        QVERIFY2(likeness > 0.9, qPrintable(QString::number(likeness)));

        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
        // About two seconds. The threaded render loop steps animations by the nominal refresh
        // interval per frame; the virtual display presents frames slightly faster than that, so
        // there the animation ends up to ~7% early.
        const qint64 ranMs = clock.elapsed();
        QVERIFY2(ranMs >= 1800 && ranMs <= 2600, qPrintable(QString::number(ranMs)));
        QVERIFY(hiddenWhenFinished);
    }

    // A page that cannot be loaded must not keep the launcher from starting.
    void unloadablePageFinishesAtOnce()
    {
        LogCapture log;
        QElapsedTimer clock;
        clock.start();
        SplashScreen splash(nullptr, QStringLiteral("NoSuchPage.qml"));
        QSignalSpy finished(&splash, &SplashScreen::finished);
        splash.show();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 500);
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!splash.isVisible());
        QVERIFY(log.texts().contains(QStringLiteral("Failed to load NoSuchPage.qml")));
    }
};

QTEST_MAIN(TestSplashScreen)
#include "tst_splashscreen.moc"
