#include "DetectorFixture.h"
#include "TemplateMatcher.h"

#include <QTest>

#include <opencv2/imgproc.hpp>

Q_DECLARE_METATYPE(cv::Size)
Q_DECLARE_METATYPE(cv::Point)

namespace {

constexpr auto texture = &DetectorFixture::texture;

cv::Mat withCopyAt(cv::Mat background, const cv::Mat &templ, cv::Point at)
{
    templ.copyTo(background(cv::Rect(at, templ.size())));
    return background;
}

} // namespace

class TestTemplateMatcher : public QObject
{
    Q_OBJECT

private slots:
    // A copy of the picture is found where it lies, in grey, colour or colour with alpha; a
    // scale outside (0, 1) searches at full size, so the place is exact.
    void exactCopyIsFound_data()
    {
        QTest::addColumn<cv::Size>("templateSize");
        QTest::addColumn<cv::Point>("at");
        QTest::addColumn<int>("channels");
        QTest::addColumn<double>("scale");
        QTest::addRow("slot at an odd corner") << cv::Size(413, 63) << cv::Point(1001, 777) << 1 << 0.5;
        QTest::addRow("at the origin") << cv::Size(120, 80) << cv::Point(0, 0) << 1 << 0.5;
        QTest::addRow("at the far corner") << cv::Size(120, 80) << cv::Point(1800, 1000) << 1 << 0.5;
        QTest::addRow("blue-green-red") << cv::Size(200, 90) << cv::Point(500, 200) << 3 << 0.5;
        QTest::addRow("with alpha") << cv::Size(200, 90) << cv::Point(500, 200) << 4 << 0.5;
        QTest::addRow("scale 1") << cv::Size(100, 50) << cv::Point(333, 111) << 1 << 1.0;
        QTest::addRow("scale 0") << cv::Size(100, 50) << cv::Point(333, 111) << 1 << 0.0;
    }

    void exactCopyIsFound()
    {
        QFETCH(cv::Size, templateSize);
        QFETCH(cv::Point, at);
        QFETCH(int, channels);
        QFETCH(double, scale);
        const cv::Mat templ = texture(templateSize, 7);
        const cv::Mat grey = withCopyAt(texture(cv::Size(1920, 1080), 1), templ, at);
        cv::Mat screen = grey;
        if (channels > 1)
            cv::cvtColor(grey, screen, channels == 3 ? cv::COLOR_GRAY2BGR : cv::COLOR_GRAY2BGRA);

        const TemplateMatch match = findTemplate(screen, templ, 0.7, scale);
        QVERIFY2(match.confidence > 0.95, qPrintable(QString::number(match.confidence)));
        const int slack = scale > 0 && scale < 1 ? 2 : 0;
        QVERIFY(qAbs(match.box.x - at.x) <= slack && qAbs(match.box.y - at.y) <= slack);
        QCOMPARE(match.box.size(), templateSize);
        QCOMPARE(match.center, match.box.tl() + cv::Point(templateSize.width / 2, templateSize.height / 2));
    }

    void nothingSimilar()
    {
        const cv::Mat templ = texture(cv::Size(256, 61), 7);
        const TemplateMatch match = findTemplate(texture(cv::Size(1920, 1080), 2), templ, 0.7, 0.5);
        QCOMPARE(match.center, cv::Point(-1, -1));
        QCOMPARE(match.box, cv::Rect());
        QVERIFY(match.confidence < 0.7);
    }

    void regionSmallerBothWaysSwapsRoles()
    {
        // The popup picture is 771 x 587; the region is its central part, 768 x 432.
        const cv::Mat popup = texture(cv::Size(771, 587), 5);
        const cv::Mat region = popup(cv::Rect(2, 78, 768, 432)).clone();
        const TemplateMatch match = findTemplate(region, popup, 0.65, 0.5);
        QVERIFY2(match.confidence > 0.9, qPrintable(QString::number(match.confidence)));
        QCOMPARE(match.center, cv::Point(384, 216));
        QCOMPARE(match.box, cv::Rect(0, 0, 768, 432));

        const TemplateMatch miss = findTemplate(texture(cv::Size(768, 432), 6), popup, 0.65, 0.5);
        QCOMPARE(miss.center, cv::Point(-1, -1));
    }

    void templateTooHighIsShrunkButReportedAtItsSize()
    {
        // 960 x 540 region, 771 x 587 picture: only the height is too large.
        const cv::Mat popup = texture(cv::Size(771, 587), 5);
        cv::Mat shrunk;
        const double fit = 540.0 / 587.0;
        cv::resize(popup, shrunk, cv::Size(), fit, fit, cv::INTER_AREA);
        const cv::Mat region = withCopyAt(texture(cv::Size(960, 540), 8), shrunk, cv::Point(100, 0));

        const TemplateMatch match = findTemplate(region, popup, 0.65, 0.5);
        QVERIFY2(match.confidence > 0.9, qPrintable(QString::number(match.confidence)));
        QCOMPARE(match.box.size(), cv::Size(771, 587));
        QVERIFY(qAbs(match.box.x - 100) <= 2 && match.box.y <= 2);
    }

    void thresholdIsInclusive()
    {
        const cv::Mat templ = texture(cv::Size(160, 60), 9);
        const cv::Mat screen = withCopyAt(texture(cv::Size(640, 360), 10), templ, cv::Point(40, 40));
        const double best = findTemplate(screen, templ, 2.0, 0.5).confidence;
        QVERIFY(findTemplate(screen, templ, best, 0.5).center.x >= 0);
        QCOMPARE(findTemplate(screen, templ, std::nextafter(best, 2.0), 0.5).center,
                 cv::Point(-1, -1));
    }

    // A compiled-in picture is read as grey; anything unreadable is empty.
    void loading_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<cv::Size>("size");
        QTest::addRow("resource") << ":/templates/accept_button.png" << cv::Size(256, 61);
        QTest::addRow("missing resource") << ":/templates/nope.png" << cv::Size();
        QTest::addRow("missing file") << "/nonexistent/slot_empty.png" << cv::Size();
        QTest::addRow("not a picture") << ":/qml/SplashView.qml" << cv::Size();
    }

    void loading()
    {
        QFETCH(QString, path);
        QFETCH(cv::Size, size);
        const cv::Mat picture = loadTemplateImage(path);
        QCOMPARE(picture.size(), size);
        QCOMPARE(picture.type(), CV_8UC1);
    }
};

QTEST_GUILESS_MAIN(TestTemplateMatcher)
#include "tst_templatematcher.moc"
