#include "LogCapture.h"
#include "TestMode.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <opencv2/imgproc.hpp>

class TestTestMode : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_temp;

    static void setMode(const QString &value)
    {
        if (value.isNull())
            qunsetenv("OVERLAY_TEST_MODE");
        else
            qputenv("OVERLAY_TEST_MODE", value.toUtf8());
    }

    static int colouredPixels(const cv::Mat &image, const cv::Rect &area)
    {
        cv::Mat grey;
        cv::cvtColor(image(area & cv::Rect(0, 0, image.cols, image.rows)), grey,
                     cv::COLOR_BGR2GRAY);
        return cv::countNonZero(grey);
    }

private slots:
    void initTestCase()
    {
        // Debug images go to the temporary location; keep them in this test's own folder.
        qputenv("TMPDIR", m_temp.path().toUtf8());
        setMode(QString());
    }

    // Runs first: the banner is written once per process.
    void bannerOnce()
    {
        LogCapture log;
        setMode(QStringLiteral("1"));
        QVERIFY(isTestModeEnabled());
        QVERIFY(isTestModeEnabled());
        QCOMPARE(log.count(QStringLiteral("TEST MODE ENABLED")), 1);
        QVERIFY(log.texts().contains("Debug images will be saved to: " + m_temp.path() + "/OverlayDebug"));
        QVERIFY(QDir(m_temp.path() + "/OverlayDebug").exists());
    }

    void modeSwitch_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("enabled");
        QTest::addRow("unset") << QString() << false;
        QTest::addRow("yes") << "yes" << false;
        QTest::addRow("1") << "1" << true;
        QTest::addRow("true") << "true" << true;
        QTest::addRow("True") << "True" << true;
        QTest::addRow("padded 1") << " 1" << false;
    }

    void modeSwitch()
    {
        QFETCH(QString, value);
        QFETCH(bool, enabled);
        setMode(value);
        QCOMPARE(isTestModeEnabled(), enabled);
    }

    void testLines_data()
    {
        QTest::addColumn<bool>("detected");
        QTest::addColumn<double>("confidence");
        QTest::addColumn<QString>("details");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("line");
        QTest::addRow("detected") << true << 0.873 << "at (1, 2) - took 5ms" << "INFO"
                                  << "[TEST] Det [DETECTED] (confidence: 87%) - at (1, 2) - took 5ms";
        QTest::addRow("not detected") << false << 0.42 << "best confidence: 42% - took 3ms"
                                      << "DEBUG"
                                      << "[TEST] Det [NOT DETECTED] (confidence: 42%) - best confidence: 42% - took 3ms";
        QTest::addRow("zero confidence, no details") << false << 0.0 << "" << "DEBUG"
                                                      << "[TEST] Det [NOT DETECTED]";
    }

    void testLines()
    {
        QFETCH(bool, detected);
        QFETCH(double, confidence);
        QFETCH(QString, details);
        QFETCH(QString, tag);
        QFETCH(QString, line);
        setMode(QStringLiteral("true"));
        LogCapture log;
        logTestResult(QStringLiteral("Det"), detected, confidence, details);
        QCOMPARE(log.texts(), QStringList({line}));
        QCOMPARE(LogLine::parse(log.rawLines().constFirst()).tag, tag);

        setMode(QString());
        log.clear();
        logTestResult(QStringLiteral("Det"), detected, confidence, details);
        QVERIFY(log.texts().isEmpty());
    }

    // Saved pictures are numbered from 0; an empty one, or any with the switch off, is not saved.
    void debugImagesCarryARisingCounter()
    {
        setMode(QStringLiteral("1"));
        const cv::Mat image(40, 60, CV_8UC3, cv::Scalar(0, 0, 255));
        LogCapture log;
        saveDebugImage(image, QStringLiteral("invitation_detected"));
        saveDebugImage(cv::Mat(), QStringLiteral("never"));
        saveDebugImage(image, QStringLiteral("lobby_detected"));
        setMode(QString());
        saveDebugImage(image, QStringLiteral("off"));

        static const QRegularExpression name(QStringLiteral("^\\d{8}_\\d{6}_(\\d+_\\w+)\\.png$"));
        QStringList files;
        for (const QString &file : QDir(debugImageDirectory()).entryList({"*.png"}, QDir::Files)) {
            QVERIFY2(name.match(file).hasMatch(), qPrintable(file));
            files << name.match(file).captured(1);
        }
        files.sort();
        QCOMPARE(files, QStringList({"0_invitation_detected", "1_lobby_detected"}));
        QCOMPARE(log.texts().size(), 2);
        QVERIFY(log.texts().constFirst().startsWith(QStringLiteral("Saved debug image: ")
                                                    + debugImageDirectory()));
    }

    void labelGoesBelowABoxAtTheTop()
    {
        setMode(QStringLiteral("1"));
        cv::Mat image(200, 300, CV_8UC3, cv::Scalar(0, 0, 0));
        drawDetection(image, cv::Rect(20, 0, 100, 40), QStringLiteral("Header"), 0.91,
                      cv::Scalar(0, 255, 0));
        // Below the box: the label; right of the box and far below: nothing.
        QVERIFY(colouredPixels(image, cv::Rect(20, 42, 120, 15)) > 20);
        QCOMPARE(colouredPixels(image, cv::Rect(0, 80, 300, 120)), 0);

        cv::Mat lower(200, 300, CV_8UC3, cv::Scalar(0, 0, 0));
        drawDetection(lower, cv::Rect(20, 100, 100, 40), QStringLiteral("Header"), 0.91,
                      cv::Scalar(0, 255, 0));
        QVERIFY(colouredPixels(lower, cv::Rect(20, 80, 120, 17)) > 20); // above the box
        QCOMPARE(colouredPixels(lower, cv::Rect(0, 142, 300, 58)), 0);
    }

    void clickPointIsACross()
    {
        setMode(QStringLiteral("1"));
        cv::Mat image(100, 100, CV_8UC3, cv::Scalar(0, 0, 0));
        drawClickPoint(image, cv::Point(50, 50), QStringLiteral("Click Here"), cv::Scalar(0, 0, 255));
        QCOMPARE(image.at<cv::Vec3b>(50, 30), cv::Vec3b(0, 0, 255)); // the cross's left arm
        QCOMPARE(image.at<cv::Vec3b>(70, 50), cv::Vec3b(0, 0, 255)); // its lower arm
    }
};

QTEST_GUILESS_MAIN(TestTestMode)
#include "tst_testmode.moc"
