#include "SyntheticScreen.h"

#include <QImage>
#include <QTest>

#include <opencv2/imgproc.hpp>

// The detectors' tests judge an answer by where the synthetic screen says it drew each picture,
// and their robustness rows by the degradations it applies. These check that the screen tells the
// truth about both.
namespace {

// A template picture from the compiled-in bundle in grey, drawn at `scale`.
cv::Mat templatePicture(const QString &name, double scale)
{
    const QImage image =
        QImage(QStringLiteral(":/templates/") + name).convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat grey(image.height(), image.width(), CV_8UC1,
                       const_cast<uchar *>(image.constBits()), size_t(image.bytesPerLine()));
    cv::Mat out;
    cv::resize(grey, out, cv::Size(cvRound(grey.cols * scale), cvRound(grey.rows * scale)), 0, 0,
               scale < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
    return out;
}

// Where `picture` matches `frame` best, by plain normalised correlation on grey.
cv::Point bestPlace(const cv::Mat &frame, const cv::Mat &picture, double *score)
{
    cv::Mat grey;
    cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
    cv::Mat scores;
    cv::matchTemplate(grey, picture, scores, cv::TM_CCOEFF_NORMED);
    cv::Point at;
    cv::minMaxLoc(scores, nullptr, score, nullptr, &at);
    return at;
}

SyntheticScreen::SlotMask maskOf(const QString &bits)
{
    SyntheticScreen::SlotMask mask{};
    for (int i = 0; i < SyntheticScreen::SlotCount; ++i)
        mask[i] = bits.at(i) == QLatin1Char('1');
    return mask;
}

} // namespace

class TestSyntheticScreen : public QObject
{
    Q_OBJECT

private slots:
    void picturesAreWhereTheScreenSays_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("scale");
        QTest::addRow("720p") << QSize(1280, 720) << 1.0;
        QTest::addRow("1080p") << QSize(1920, 1080) << 1.0;
        QTest::addRow("1440p at 1.25") << QSize(2560, 1440) << 1.25;
    }

    void picturesAreWhereTheScreenSays()
    {
        QFETCH(QSize, size);
        QFETCH(double, scale);
        SyntheticScreen screen(cv::Size(size.width(), size.height()));
        screen.setScale(scale);
        const QString bits = QStringLiteral("1101000011");
        const cv::Mat invitation = screen.renderInvitation();
        const cv::Mat lobby = screen.renderLobby(maskOf(bits));
        QCOMPARE(invitation.size(), screen.size());
        QCOMPARE(lobby.size(), screen.size());

        const struct
        {
            const char *picture;
            const cv::Mat &frame;
            cv::Rect said;
            double least; // the last row of slots covers the coach bar's top rows
        } drawn[] = {
            {"invitation_popup.png", invitation, screen.popupRect(), 0.9},
            {"accept_button.png", invitation, screen.acceptRect(), 0.9},
            {"lobby_header.png", lobby, screen.headerRect(), 0.9},
            {"lobby_coach_header.png", lobby, screen.coachRect(), 0.8},
        };
        for (const auto &each : drawn) {
            const cv::Mat picture = templatePicture(QString::fromLatin1(each.picture), scale);
            QCOMPARE(each.said.size(), picture.size());
            double score = 0;
            const cv::Point at = bestPlace(each.frame, picture, &score);
            QVERIFY2(score >= each.least && cv::norm(at - each.said.tl()) <= 2,
                     qPrintable(QStringLiteral("%1 scores %2 at %3,%4").arg(each.picture)
                                    .arg(score).arg(at.x).arg(at.y)));
        }
        QVERIFY(screen.acceptRect().contains(screen.acceptCentre()));

        // A slot drawn taken differs from the all-empty lobby, one drawn empty does not.
        const cv::Mat allEmpty = screen.renderLobby(SyntheticScreen::SlotMask{});
        const SyntheticScreen::SlotRects places = screen.slotRects();
        // The coach bar is drawn over the last row's bottom pixels; compare what is above it.
        const int visibleRows = screen.coachRect().y - places[4].y;
        for (int i = 0; i < SyntheticScreen::SlotCount; ++i) {
            const cv::Rect visible(places[i].x, places[i].y, places[i].width,
                                   std::min(places[i].height, visibleRows));
            cv::Mat difference;
            cv::absdiff(lobby(visible), allEmpty(visible), difference);
            const cv::Scalar mean = cv::mean(difference);
            const double change = (mean[0] + mean[1] + mean[2]) / 3;
            if (bits.at(i) == QLatin1Char('1'))
                QVERIFY2(change > 15, qPrintable(QString::number(change)));
            else
                QCOMPARE(change, 0.0);
        }
    }

    // A degradation that did nothing would let a robustness row pass on a clean frame; the
    // strongest ones still leave the frame recognisable.
    void degradationsChangeTheFrame_data()
    {
        QTest::addColumn<QString>("how");
        // Most PSNR against the clean frame: noise of deviation 30 gives ~18.6 dB, 20 would give 22.
        QTest::addColumn<double>("mostDb");
        QTest::addRow("noise 30") << "noise" << 21.5;
        QTest::addRow("blur 7") << "blur" << 32.0;
        QTest::addRow("JPEG at 20") << "jpeg" << 35.0;
    }

    void degradationsChangeTheFrame()
    {
        QFETCH(QString, how);
        QFETCH(double, mostDb);
        SyntheticScreen screen(cv::Size(1920, 1080));
        const cv::Mat clean = screen.renderLobby(maskOf(QStringLiteral("1100110011")));
        if (how == QLatin1String("noise"))
            screen.setNoise(30);
        else if (how == QLatin1String("blur"))
            screen.setBlur(7);
        else
            screen.setJpegQuality(20);
        const double psnr = cv::PSNR(screen.renderLobby(maskOf(QStringLiteral("1100110011"))), clean);
        QVERIFY2(psnr < mostDb && psnr > 15, qPrintable(QString::number(psnr)));
    }
};

QTEST_MAIN(TestSyntheticScreen)
#include "tst_syntheticscreen.moc"
