#include "SyntheticScreen.h"

#include <QImage>
#include <QTest>

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <stdexcept>

namespace {

cv::Size toCv(const QSize &size)
{
    return cv::Size(size.width(), size.height());
}

cv::Point toCv(const QPoint &point)
{
    return cv::Point(point.x(), point.y());
}

QRect toQt(const cv::Rect &rect)
{
    return QRect(rect.x, rect.y, rect.width, rect.height);
}

// A template picture from the compiled-in bundle, as BGR like a captured frame.
cv::Mat templatePicture(const QString &name)
{
    const QImage image =
        QImage(QStringLiteral(":/templates/") + name).convertToFormat(QImage::Format_RGB888);
    if (image.isNull())
        return cv::Mat();
    const cv::Mat rgb(image.height(), image.width(), CV_8UC3,
                      const_cast<uchar *>(image.constBits()), size_t(image.bytesPerLine()));
    cv::Mat bgr;
    cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
    return bgr;
}

cv::Mat greyHalf(const cv::Mat &bgr)
{
    cv::Mat grey;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    cv::Mat half;
    cv::resize(grey, half, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
    return half;
}

// The product's way of matching: grey, both images halved with INTER_AREA, TM_CCOEFF_NORMED.
// Returns the best score; `where` receives its top-left in the region's full-resolution pixels.
double bestScore(const cv::Mat &region, const cv::Mat &picture, cv::Point *where = nullptr)
{
    cv::Mat scores;
    cv::matchTemplate(greyHalf(region), greyHalf(picture), scores, cv::TM_CCOEFF_NORMED);
    double best = 0;
    cv::Point at;
    cv::minMaxLoc(scores, nullptr, &best, nullptr, &at);
    if (where)
        *where = at * 2;
    return best;
}

SyntheticScreen::SlotMask maskOf(const QString &bits)
{
    SyntheticScreen::SlotMask mask{};
    for (int i = 0; i < SyntheticScreen::SlotCount; ++i)
        mask[i] = bits.at(i) == QLatin1Char('1');
    return mask;
}

cv::Mat render(const SyntheticScreen &screen, const QString &kind, const QString &bits = QString())
{
    if (kind == QLatin1String("invitation"))
        return screen.renderInvitation();
    if (kind == QLatin1String("lobby"))
        return screen.renderLobby(maskOf(bits.isEmpty() ? QStringLiteral("1101000011") : bits));
    return screen.renderBackground();
}

// The derivation as the product states it, written out here on its own.
QRect derivedSlot(const QRect &header, int coachTop, int index)
{
    const int d = header.width() / 25;
    const QRect area(header.x() + d, header.y() + header.height(), header.width() - 2 * d,
                     coachTop - (header.y() + header.height()));
    const int rowGap = area.height() / 25;
    const int columnGap = area.height() / 30;
    const int slotWidth = (area.width() - columnGap) / 2;
    const int slotHeight = (area.height() - 4 * rowGap) / 5;
    const int top = area.y() + rowGap / 2;
    const int row = index % 5;
    const int x = index < 5 ? area.x() : area.x() + slotWidth + columnGap;
    return QRect(x, top + row * (slotHeight + rowGap), slotWidth, slotHeight);
}

double meanAbsoluteDifference(const cv::Mat &a, const cv::Mat &b)
{
    cv::Mat difference;
    cv::absdiff(a, b, difference);
    const cv::Scalar mean = cv::mean(difference);
    return (mean[0] + mean[1] + mean[2]) / 3;
}

bool identical(const cv::Mat &a, const cv::Mat &b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

double sharpness(const cv::Mat &bgr)
{
    cv::Mat grey;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    cv::Mat laplacian;
    cv::Laplacian(grey, laplacian, CV_32F);
    return cv::mean(cv::abs(laplacian))[0];
}

} // namespace

// Synthetic game screens: sizes, determinism, the slot geometry the product derives, and that the
// template pictures drawn into them match the way the product matches.
class TestSyntheticScreen : public QObject
{
    Q_OBJECT

private slots:
    void framesHaveTheScreenSize_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("scale");
        for (const QString kind : {"background", "invitation", "lobby"}) {
            for (const QSize size : {QSize(1280, 720), QSize(1920, 1080), QSize(2560, 1440),
                                     QSize(3840, 2160), QSize(1600, 1200)})
                QTest::addRow("%s %dx%d", qPrintable(kind), size.width(), size.height())
                    << kind << size << 1.0;
            QTest::addRow("%s 3840x2160 scale 2", qPrintable(kind))
                << kind << QSize(3840, 2160) << 2.0;
            QTest::addRow("%s 1280x720 scale 0.6", qPrintable(kind))
                << kind << QSize(1280, 720) << 0.6;
        }
    }

    void framesHaveTheScreenSize()
    {
        QFETCH(QString, kind);
        QFETCH(QSize, size);
        QFETCH(double, scale);
        SyntheticScreen screen(toCv(size));
        screen.setScale(scale);
        QCOMPARE(screen.size(), toCv(size));
        const cv::Mat clean = render(screen, kind);
        QCOMPARE(clean.size(), toCv(size));
        QCOMPARE(clean.type(), CV_8UC3);

        // Every degradation at once still gives a frame of the same shape.
        screen.setNoise(6);
        screen.setBlur(3);
        screen.setBrightness(-20);
        screen.setJpegQuality(60);
        const cv::Mat degraded = render(screen, kind);
        QCOMPARE(degraded.size(), toCv(size));
        QCOMPARE(degraded.type(), CV_8UC3);
    }

    void acceptsOnlySizesInTheRange_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("accepted");
        QTest::addRow("smallest") << QSize(1280, 720) << true;
        QTest::addRow("largest") << QSize(3840, 2160) << true;
        QTest::addRow("too narrow") << QSize(1279, 720) << false;
        QTest::addRow("too low") << QSize(1280, 719) << false;
        QTest::addRow("too wide") << QSize(3841, 2160) << false;
        QTest::addRow("too high") << QSize(3840, 2161) << false;
        QTest::addRow("empty") << QSize(0, 0) << false;
    }

    void acceptsOnlySizesInTheRange()
    {
        QFETCH(QSize, size);
        QFETCH(bool, accepted);
        if (accepted)
            QCOMPARE(SyntheticScreen(toCv(size)).size(), toCv(size));
        else
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, SyntheticScreen{toCv(size)});
    }

    void acceptsOnlyScalesInTheRange_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<bool>("accepted");
        QTest::addRow("small") << 0.25 << true;
        QTest::addRow("largest") << 4.0 << true;
        QTest::addRow("zero") << 0.0 << false;
        QTest::addRow("negative") << -1.0 << false;
        QTest::addRow("too large") << 4.5 << false;
        QTest::addRow("not a number") << std::nan("") << false;
    }

    void acceptsOnlyScalesInTheRange()
    {
        QFETCH(double, scale);
        QFETCH(bool, accepted);
        SyntheticScreen screen(cv::Size(1920, 1080));
        if (accepted) {
            screen.setScale(scale);
            QCOMPARE(screen.headerRect().width, cvRound(930 * scale));
        } else {
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, screen.setScale(scale));
        }
    }

    void sameSettingsDrawTheSameFrame_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<double>("noise");
        QTest::addColumn<int>("jpeg");
        for (const QString kind : {"background", "invitation", "lobby"}) {
            QTest::addRow("%s clean", qPrintable(kind)) << kind << 0.0 << 0;
            QTest::addRow("%s noisy", qPrintable(kind)) << kind << 12.0 << 0;
            QTest::addRow("%s noisy jpeg", qPrintable(kind)) << kind << 5.0 << 40;
        }
    }

    void sameSettingsDrawTheSameFrame()
    {
        QFETCH(QString, kind);
        QFETCH(double, noise);
        QFETCH(int, jpeg);
        const auto draw = [&] {
            SyntheticScreen screen(cv::Size(1920, 1080));
            screen.setSeed(42);
            screen.setNoise(noise);
            screen.setJpegQuality(jpeg);
            return render(screen, kind);
        };
        QVERIFY(identical(draw(), draw()));
    }

    void differentSeedsDrawDifferentBackgrounds_data()
    {
        QTest::addColumn<quint64>("first");
        QTest::addColumn<quint64>("second");
        QTest::addRow("1 and 2") << quint64(1) << quint64(2);
        QTest::addRow("0 and 1") << quint64(0) << quint64(1);
        QTest::addRow("7 and 8") << quint64(7) << quint64(8);
        QTest::addRow("0 and 2^32-1") << quint64(0) << quint64(0xffffffffULL);
        QTest::addRow("large") << quint64(0x8000000000000000ULL) << quint64(12345);
    }

    void differentSeedsDrawDifferentBackgrounds()
    {
        QFETCH(quint64, first);
        QFETCH(quint64, second);
        SyntheticScreen screen(cv::Size(1920, 1080));
        screen.setSeed(first);
        const cv::Mat a = screen.renderBackground();
        screen.setSeed(second);
        const cv::Mat b = screen.renderBackground();
        const double difference = meanAbsoluteDifference(a, b);
        QVERIFY2(difference > 4, qPrintable(QString::number(difference)));
    }

    void backgroundIsNeverFlat_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<quint64>("seed");
        QTest::addRow("720p seed 1") << QSize(1280, 720) << quint64(1);
        QTest::addRow("1080p seed 2") << QSize(1920, 1080) << quint64(2);
        QTest::addRow("1080p seed 3") << QSize(1920, 1080) << quint64(3);
        QTest::addRow("2160p seed 4") << QSize(3840, 2160) << quint64(4);
    }

    // TM_CCOEFF_NORMED has nothing to say about a window without variance: every 16 x 16 tile of
    // the grey frame has some.
    void backgroundIsNeverFlat()
    {
        QFETCH(QSize, size);
        QFETCH(quint64, seed);
        for (const QString kind : {"background", "invitation", "lobby"}) {
            SyntheticScreen screen(toCv(size));
            screen.setSeed(seed);
            cv::Mat grey;
            cv::cvtColor(render(screen, kind), grey, cv::COLOR_BGR2GRAY);
            for (int y = 0; y + 16 <= grey.rows; y += 16) {
                for (int x = 0; x + 16 <= grey.cols; x += 16) {
                    cv::Scalar mean;
                    cv::Scalar deviation;
                    cv::meanStdDev(grey(cv::Rect(x, y, 16, 16)), mean, deviation);
                    QVERIFY2(deviation[0] > 0.3, qPrintable(QStringLiteral("%1 tile at %2,%3: %4")
                                                                .arg(kind)
                                                                .arg(x)
                                                                .arg(y)
                                                                .arg(deviation[0])));
                }
            }
        }
    }

    void slotsFollowTheProductsDerivation_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("placed");
        QTest::addColumn<QPoint>("headerAt");
        QTest::addRow("1080p default") << QSize(1920, 1080) << false << QPoint();
        QTest::addRow("720p default") << QSize(1280, 720) << false << QPoint();
        QTest::addRow("1440p default") << QSize(2560, 1440) << false << QPoint();
        QTest::addRow("1080p at 960,120") << QSize(1920, 1080) << true << QPoint(960, 120);
        QTest::addRow("1080p at 977,203") << QSize(1920, 1080) << true << QPoint(977, 203);
    }

    void slotsFollowTheProductsDerivation()
    {
        QFETCH(QSize, size);
        QFETCH(bool, placed);
        QFETCH(QPoint, headerAt);
        SyntheticScreen screen(toCv(size));
        if (placed)
            screen.setHeaderPosition(toCv(headerAt));
        const cv::Mat header = templatePicture(QStringLiteral("lobby_header.png"));
        const cv::Mat coach = templatePicture(QStringLiteral("lobby_coach_header.png"));
        const cv::Mat empty = templatePicture(QStringLiteral("slot_empty.png"));

        const QPoint expectedAt = placed
            ? headerAt
            : QPoint(std::min(size.width() - size.width() / 2 + (size.width() / 2 - header.cols) / 2,
                              size.width() - header.cols),
                     size.height() / 10);
        const QRect headerBox = toQt(screen.headerRect());
        QCOMPARE(headerBox, QRect(expectedAt, QSize(header.cols, header.rows)));
        QCOMPARE(screen.coachRect().size(), coach.size());
        const int coachTop = screen.coachRect().y;
        QVERIFY(coachTop > headerBox.bottom());

        const SyntheticScreen::SlotRects derived = screen.slotRects();
        for (int i = 0; i < SyntheticScreen::SlotCount; ++i) {
            QCOMPARE(toQt(derived[i]), derivedSlot(headerBox, coachTop, i));
            QCOMPARE(toQt(SyntheticScreen::slotRectsFor(screen.headerRect(), coachTop)[i]),
                     derivedSlot(headerBox, coachTop, i));
            // The layout gives the slots the pictures' own height, so they match unstretched.
            QCOMPARE(derived[i].height, empty.rows);
            QVERIFY(cv::Rect(0, 0, size.width(), size.height()).contains(derived[i].br()));
        }
    }

    void derivesTheWorkedExample_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QRect>("expected");
        const int rows[] = {194, 248, 302, 356, 410};
        for (int row = 0; row < 5; ++row) {
            QTest::addRow("left %d", row) << row << QRect(1047, rows[row], 424, 44);
            QTest::addRow("right %d", row) << 5 + row << QRect(1479, rows[row], 424, 44);
        }
    }

    // Header box (1010, 100, 930, 89) and coach top 450: area (1047, 189, 856, 261), row gap 10,
    // column gap 8, slots 424 x 44.
    void derivesTheWorkedExample()
    {
        QFETCH(int, index);
        QFETCH(QRect, expected);
        const SyntheticScreen::SlotRects derived =
            SyntheticScreen::slotRectsFor(cv::Rect(1010, 100, 930, 89), 450);
        QCOMPARE(toQt(derived[index]), expected);
    }

    void occupiedSlotsDifferFromEmptyOnes_data()
    {
        QTest::addColumn<QString>("bits");
        QTest::addRow("mixed") << "1101000011";
        QTest::addRow("all taken") << "1111111111";
        QTest::addRow("corners") << "1000110001";
        QTest::addRow("none") << "0000000000";
    }

    void occupiedSlotsDifferFromEmptyOnes()
    {
        QFETCH(QString, bits);
        SyntheticScreen screen(cv::Size(1920, 1080));
        const cv::Mat allEmpty = screen.renderLobby(SyntheticScreen::SlotMask{});
        const cv::Mat frame = screen.renderLobby(maskOf(bits));
        const SyntheticScreen::SlotRects places = screen.slotRects();
        // The coach bar is drawn over the last row's bottom pixels; compare what is above it.
        const int visibleRows = screen.coachRect().y - places[4].y;
        const auto visible = [&places, visibleRows](int i) {
            return cv::Rect(places[i].x, places[i].y, places[i].width,
                            std::min(places[i].height, visibleRows));
        };
        for (int i = 0; i < SyntheticScreen::SlotCount; ++i) {
            const cv::Mat slot = frame(visible(i));
            const double difference = meanAbsoluteDifference(slot, allEmpty(visible(i)));
            const int like = bits.indexOf(bits.at(i));
            const cv::Mat sameKind = frame(cv::Rect(visible(like).tl(), slot.size()));
            QVERIFY(identical(slot, sameKind));
            if (bits.at(i) == QLatin1Char('1'))
                QVERIFY2(difference > 15, qPrintable(QString::number(difference)));
            else
                QCOMPARE(difference, 0.0);
        }
    }

    void slotsScoreApartAgainstTheEmptyPicture_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<quint64>("seed");
        QTest::addColumn<QString>("bits");
        QTest::addColumn<int>("margin");
        for (const int margin : {0, 5, 6}) {
            QTest::addRow("720p, margin %d", margin)
                << QSize(1280, 720) << quint64(1) << "1101000011" << margin;
            QTest::addRow("1080p, margin %d", margin)
                << QSize(1920, 1080) << quint64(2) << "0010110100" << margin;
            QTest::addRow("1080p other seed, margin %d", margin)
                << QSize(1920, 1080) << quint64(9) << "1000000001" << margin;
            QTest::addRow("1440p, margin %d", margin)
                << QSize(2560, 1440) << quint64(3) << "0111101110" << margin;
            QTest::addRow("2160p, margin %d", margin)
                << QSize(3840, 2160) << quint64(4) << "1010101010" << margin;
        }
    }

    // The product counts a slot as taken when its best score against slot_empty is below 0.25.
    // The search covers the slot's rectangle grown by `margin` on every side: an odd margin puts
    // the slot on the other pixel phase of the halved image.
    void slotsScoreApartAgainstTheEmptyPicture()
    {
        QFETCH(QSize, size);
        QFETCH(quint64, seed);
        QFETCH(QString, bits);
        QFETCH(int, margin);
        SyntheticScreen screen(toCv(size));
        screen.setSeed(seed);
        const cv::Mat frame = screen.renderLobby(maskOf(bits));
        const cv::Mat empty = templatePicture(QStringLiteral("slot_empty.png"));
        const SyntheticScreen::SlotRects places = screen.slotRects();
        for (int i = 0; i < SyntheticScreen::SlotCount; ++i) {
            const cv::Rect searched(places[i].x - margin, places[i].y - margin,
                                    places[i].width + 2 * margin, places[i].height + 2 * margin);
            const double score = bestScore(frame(searched), empty);
            const QByteArray what = QStringLiteral("slot %1 scores %2").arg(i).arg(score).toUtf8();
            if (bits.at(i) == QLatin1Char('1'))
                QVERIFY2(score < 0.25, what.constData());
            else
                QVERIFY2(score >= 0.9, what.constData());
            qInfo("%s: %s", bits.at(i) == QLatin1Char('1') ? "occupied" : "empty", what.constData());
        }
    }

    void headerIsFoundWhereItWasDrawn_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("placed");
        QTest::addColumn<QPoint>("headerAt");
        QTest::addRow("720p default") << QSize(1280, 720) << false << QPoint();
        QTest::addRow("1080p default") << QSize(1920, 1080) << false << QPoint();
        QTest::addRow("1080p at 975,151") << QSize(1920, 1080) << true << QPoint(975, 151);
        QTest::addRow("2160p default") << QSize(3840, 2160) << false << QPoint();
    }

    void headerIsFoundWhereItWasDrawn()
    {
        QFETCH(QSize, size);
        QFETCH(bool, placed);
        QFETCH(QPoint, headerAt);
        SyntheticScreen screen(toCv(size));
        if (placed)
            screen.setHeaderPosition(toCv(headerAt));
        const cv::Mat frame = screen.renderLobby(maskOf(QStringLiteral("0110100101")));
        const cv::Rect box = screen.headerRect();
        QVERIFY(box.x + box.width / 2 > size.width() / 2);

        cv::Point at;
        const double score = bestScore(frame, templatePicture(QStringLiteral("lobby_header.png")),
                                       &at);
        qInfo("header scores %.4f", score);
        QVERIFY2(score >= 0.9, qPrintable(QString::number(score)));
        QVERIFY2(std::abs(at.x - box.x) <= 2 && std::abs(at.y - box.y) <= 2,
                 qPrintable(QStringLiteral("%1,%2").arg(at.x).arg(at.y)));

        cv::Point coachAt;
        const double coachScore = bestScore(
            frame, templatePicture(QStringLiteral("lobby_coach_header.png")), &coachAt);
        qInfo("coach bar scores %.4f", coachScore);
        // Lower than the header's: the last row of slots covers the bar's top rows.
        QVERIFY2(coachScore >= 0.85, qPrintable(QString::number(coachScore)));
        QVERIFY(std::abs(coachAt.x - screen.coachRect().x) <= 2
                && std::abs(coachAt.y - screen.coachRect().y) <= 2);
    }

    void popupIsDrawnWhereAsked_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("placed");
        QTest::addColumn<QPoint>("popupAt");
        QTest::addRow("720p centred") << QSize(1280, 720) << false << QPoint();
        QTest::addRow("1080p centred") << QSize(1920, 1080) << false << QPoint();
        QTest::addRow("2160p centred") << QSize(3840, 2160) << false << QPoint();
        // Mostly outside the central 60 % of the screen.
        QTest::addRow("1080p top left") << QSize(1920, 1080) << true << QPoint(20, 30);
        QTest::addRow("1080p bottom right") << QSize(1920, 1080) << true << QPoint(1121, 467);
    }

    // The popup is the picture itself, and the accept button inside it is the accept picture.
    void popupIsDrawnWhereAsked()
    {
        QFETCH(QSize, size);
        QFETCH(bool, placed);
        QFETCH(QPoint, popupAt);
        SyntheticScreen screen(toCv(size));
        if (placed)
            screen.setPopupPosition(toCv(popupAt));
        const cv::Mat popup = templatePicture(QStringLiteral("invitation_popup.png"));
        const cv::Mat accept = templatePicture(QStringLiteral("accept_button.png"));
        const QPoint expectedAt = placed ? popupAt
                                         : QPoint((size.width() - popup.cols) / 2,
                                                  (size.height() - popup.rows) / 2);
        QCOMPARE(toQt(screen.popupRect()), QRect(expectedAt, QSize(popup.cols, popup.rows)));

        const cv::Mat frame = screen.renderInvitation();
        QVERIFY(identical(frame(screen.popupRect()), popup));
        QCOMPARE(screen.acceptRect().size(), accept.size());
        QVERIFY(identical(frame(screen.acceptRect()), accept));
        QVERIFY(screen.acceptRect().contains(screen.acceptCentre()));
        const cv::Point offset = screen.acceptCentre() - screen.acceptRect().tl();
        QVERIFY(std::abs(offset.x - accept.cols / 2) <= 1 && std::abs(offset.y - accept.rows / 2) <= 1);

        cv::Point at;
        const double score = bestScore(frame, popup, &at);
        qInfo("popup scores %.4f", score);
        QVERIFY2(score >= 0.9, qPrintable(QString::number(score)));
        QVERIFY(std::abs(at.x - expectedAt.x()) <= 2 && std::abs(at.y - expectedAt.y()) <= 2);
    }

    void popupPartlyOffTheScreenIsCut_data()
    {
        QTest::addColumn<QPoint>("popupAt");
        QTest::addRow("past the right edge") << QPoint(1500, 200);
        QTest::addRow("above the top") << QPoint(300, -250);
        QTest::addRow("past the bottom left") << QPoint(-100, 800);
    }

    void popupPartlyOffTheScreenIsCut()
    {
        QFETCH(QPoint, popupAt);
        SyntheticScreen screen(cv::Size(1920, 1080));
        screen.setPopupPosition(toCv(popupAt));
        const cv::Mat frame = screen.renderInvitation();
        QCOMPARE(frame.size(), cv::Size(1920, 1080));
        const cv::Rect popup = screen.popupRect();
        const cv::Rect visible = popup & cv::Rect(0, 0, frame.cols, frame.rows);
        QVERIFY(!visible.empty() && visible != popup);
        const cv::Mat picture = templatePicture(QStringLiteral("invitation_popup.png"));
        QVERIFY(identical(frame(visible), picture(visible - popup.tl())));
    }

    void scaleResizesTheDrawing_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("scale");
        QTest::addRow("0.75 at 1080p") << QSize(1920, 1080) << 0.75;
        QTest::addRow("1.25 at 1440p") << QSize(2560, 1440) << 1.25;
        QTest::addRow("1.5 at 2160p") << QSize(3840, 2160) << 1.5;
        QTest::addRow("2 at 2160p") << QSize(3840, 2160) << 2.0;
    }

    void scaleResizesTheDrawing()
    {
        QFETCH(QSize, size);
        QFETCH(double, scale);
        SyntheticScreen screen(toCv(size));
        screen.setScale(scale);
        const auto scaled = [scale](const cv::Mat &picture) {
            cv::Mat resized;
            cv::resize(picture, resized,
                       cv::Size(cvRound(picture.cols * scale), cvRound(picture.rows * scale)), 0, 0,
                       scale < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
            return resized;
        };
        const cv::Mat popup = scaled(templatePicture(QStringLiteral("invitation_popup.png")));
        const cv::Mat accept = scaled(templatePicture(QStringLiteral("accept_button.png")));
        const cv::Mat header = templatePicture(QStringLiteral("lobby_header.png"));
        QCOMPARE(screen.popupRect().size(), popup.size());
        QCOMPARE(screen.headerRect().size(), scaled(header).size());
        // The slots follow the drawn header and coach bar.
        QCOMPARE(toQt(screen.slotRects()[7]),
                 derivedSlot(toQt(screen.headerRect()), screen.coachRect().y, 7));

        // The scaled popup and its button are where the screen says.
        const cv::Mat frame = screen.renderInvitation();
        cv::Point popupAt;
        QVERIFY(bestScore(frame, popup, &popupAt) >= 0.9);
        QVERIFY(cv::norm(popupAt - screen.popupRect().tl()) <= 3);
        cv::Point acceptAt;
        QVERIFY(bestScore(frame, accept, &acceptAt) >= 0.9);
        const cv::Point acceptCentre = acceptAt + cv::Point(accept.cols / 2, accept.rows / 2);
        QVERIFY2(cv::norm(acceptCentre - screen.acceptCentre()) <= 3,
                 qPrintable(QStringLiteral("%1,%2 against %3,%4")
                                .arg(acceptCentre.x)
                                .arg(acceptCentre.y)
                                .arg(screen.acceptCentre().x)
                                .arg(screen.acceptCentre().y)));
    }

    void noiseHasTheGivenDeviation_data()
    {
        QTest::addColumn<double>("sigma");
        QTest::addRow("3") << 3.0;
        QTest::addRow("8") << 8.0;
        QTest::addRow("20") << 20.0;
    }

    void noiseHasTheGivenDeviation()
    {
        QFETCH(double, sigma);
        SyntheticScreen screen(cv::Size(1920, 1080));
        const cv::Mat clean = screen.renderLobby(SyntheticScreen::SlotMask{});
        screen.setNoise(sigma);
        const cv::Mat noisy = screen.renderLobby(SyntheticScreen::SlotMask{});
        QVERIFY(!identical(clean, noisy));

        // Only where clipping at 0 and 255 cannot bend the noise.
        cv::Mat difference;
        cv::subtract(noisy, clean, difference, cv::noArray(), CV_32FC3);
        const double margin = 4 * sigma;
        cv::Mat unclipped;
        cv::inRange(clean, cv::Scalar::all(margin), cv::Scalar::all(255 - margin), unclipped);
        QVERIFY(cv::countNonZero(unclipped) > 10000);
        cv::Scalar mean;
        cv::Scalar deviation;
        cv::meanStdDev(difference, mean, deviation, unclipped);
        for (int c = 0; c < 3; ++c) {
            QVERIFY2(std::abs(mean[c]) < 0.1 * sigma + 0.5, qPrintable(QString::number(mean[c])));
            QVERIFY2(std::abs(deviation[c] - sigma) < 0.1 * sigma + 0.5,
                     qPrintable(QString::number(deviation[c])));
        }
    }

    void brightnessShiftsEveryChannel_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("applied");
        QTest::addRow("darker") << -40 << -40;
        QTest::addRow("brighter") << 25 << 25;
        QTest::addRow("top of the range") << 100 << 100;
        QTest::addRow("beyond the range") << 150 << 100;
        QTest::addRow("below the range") << -130 << -100;
    }

    void brightnessShiftsEveryChannel()
    {
        QFETCH(int, offset);
        QFETCH(int, applied);
        SyntheticScreen screen(cv::Size(1280, 720));
        const cv::Mat clean = screen.renderInvitation();
        screen.setBrightness(offset);
        const cv::Mat shifted = screen.renderInvitation();

        // Every channel value that cannot saturate moves by exactly the applied offset.
        cv::Mat difference;
        cv::subtract(shifted, clean, difference, cv::noArray(), CV_16SC3);
        const cv::Mat cleanValues = clean.reshape(1);
        const cv::Mat differences = difference.reshape(1);
        int checked = 0;
        for (int y = 0; y < cleanValues.rows; ++y) {
            for (int x = 0; x < cleanValues.cols; ++x) {
                const int value = cleanValues.at<uchar>(y, x);
                if (value + applied < 0 || value + applied > 255)
                    continue;
                QCOMPARE(int(differences.at<short>(y, x)), applied);
                ++checked;
            }
        }
        QVERIFY(checked > 100000);
    }

    void blurSoftensTheFrame_data()
    {
        QTest::addColumn<int>("smaller");
        QTest::addColumn<int>("larger");
        QTest::addRow("none and 3") << 0 << 3;
        QTest::addRow("3 and 7") << 3 << 7;
        QTest::addRow("7 and 15") << 7 << 15;
        // An even size is taken as the next odd one.
        QTest::addRow("4 and 9") << 4 << 9;
    }

    void blurSoftensTheFrame()
    {
        QFETCH(int, smaller);
        QFETCH(int, larger);
        SyntheticScreen screen(cv::Size(1920, 1080));
        screen.setBlur(smaller);
        const cv::Mat sharper = screen.renderLobby(maskOf(QStringLiteral("1100110011")));
        screen.setBlur(larger);
        const cv::Mat softer = screen.renderLobby(maskOf(QStringLiteral("1100110011")));
        QVERIFY2(sharpness(softer) < 0.9 * sharpness(sharper),
                 qPrintable(QStringLiteral("%1 against %2")
                                .arg(sharpness(softer))
                                .arg(sharpness(sharper))));
    }

    void oneOrNoBlurLeavesTheFrameAlone()
    {
        SyntheticScreen screen(cv::Size(1920, 1080));
        const cv::Mat clean = screen.renderBackground();
        screen.setBlur(1);
        QVERIFY(identical(screen.renderBackground(), clean));
        screen.setBlur(2);
        QVERIFY(!identical(screen.renderBackground(), clean));
    }

    void jpegLosesMoreAtLowerQuality_data()
    {
        QTest::addColumn<int>("better");
        QTest::addColumn<int>("worse");
        QTest::addRow("95 and 60") << 95 << 60;
        QTest::addRow("60 and 25") << 60 << 25;
        QTest::addRow("25 and 5") << 25 << 5;
    }

    void jpegLosesMoreAtLowerQuality()
    {
        QFETCH(int, better);
        QFETCH(int, worse);
        SyntheticScreen screen(cv::Size(1920, 1080));
        const cv::Mat clean = screen.renderInvitation();
        screen.setJpegQuality(better);
        const double betterPsnr = cv::PSNR(screen.renderInvitation(), clean);
        screen.setJpegQuality(worse);
        const double worsePsnr = cv::PSNR(screen.renderInvitation(), clean);
        QVERIFY2(worsePsnr < betterPsnr && betterPsnr < 60,
                 qPrintable(QStringLiteral("%1 dB at %2, %3 dB at %4")
                                .arg(betterPsnr)
                                .arg(better)
                                .arg(worsePsnr)
                                .arg(worse)));
        // Compression damages the picture, it does not replace it.
        QVERIFY(worsePsnr > 20);
    }
};

QTEST_MAIN(TestSyntheticScreen)
#include "tst_syntheticscreen.moc"
