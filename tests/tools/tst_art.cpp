#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

// The committed pictures are exactly what the generator draws, and have the shapes the program
// relies on. Qt's raster engine picks its vector code by the processor at run time, so antialiased edges
// drawn on another machine may differ by a level (6 pixels of the icon, on a machine with
// AVX-512).
static int largestChannelDifference(const QImage &a, const QImage &b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)),
                                qAbs(qBlue(p) - qBlue(q)), qAbs(qAlpha(p) - qAlpha(q))});
        }
    }
    return largest;
}

class TestArt : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_fresh;

private slots:
    void initTestCase()
    {
        QProcess generator;
        generator.start(QStringLiteral(ART_BINARY), {m_fresh.path()});
        QVERIFY(generator.waitForFinished(30000));
        QCOMPARE(generator.exitCode(), 0);
    }

    void committedPicturesMatchTheGenerator_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addRow("icon") << "images/icon.png";
        QTest::addRow("hand") << "images/hand.png";
        QTest::addRow("ico") << "icon.ico";
        QTest::addRow("invitation popup") << "templates/invitation_popup.png";
        QTest::addRow("accept button") << "templates/accept_button.png";
        QTest::addRow("lobby header") << "templates/lobby_header.png";
        QTest::addRow("coach header") << "templates/lobby_coach_header.png";
        QTest::addRow("slot occupied") << "templates/slot_occupied.png";
        QTest::addRow("slot empty") << "templates/slot_empty.png";
    }

    void committedPicturesMatchTheGenerator()
    {
        QFETCH(QString, file);
        QImageReader fresh(m_fresh.filePath(file));
        QImageReader committed(QStringLiteral(":/") + file);
        QCOMPARE(fresh.imageCount(), committed.imageCount());
        do {
            const QImage freshImage = fresh.read().convertToFormat(QImage::Format_ARGB32);
            const QImage committedImage = committed.read().convertToFormat(QImage::Format_ARGB32);
            QVERIFY(!freshImage.isNull());
            QCOMPARE(freshImage.size(), committedImage.size());
            QVERIFY2(largestChannelDifference(freshImage, committedImage) <= 2,
                     qPrintable(QString::number(largestChannelDifference(freshImage, committedImage))));
        } while (fresh.jumpToNextImage() && committed.jumpToNextImage());
    }

    void handPointsUpFromItsFingertip()
    {
        const QImage hand(QStringLiteral(":/images/hand.png"));
        QCOMPARE(hand.size(), QSize(512, 512));
        QVERIFY(hand.hasAlphaChannel());

        // On the 64 x 64 grid: the fingertip at about (25, 10) is drawn, nothing above it is.
        const auto alphaAt = [&hand](double gx, double gy) {
            return qAlpha(hand.pixel(int(gx * 8), int(gy * 8)));
        };
        QCOMPARE(alphaAt(25, 10), 255);
        QCOMPARE(alphaAt(10, 10) + alphaAt(40, 10), 0);
        // The index finger is the highest point of the drawing.
        int top = -1;
        for (int y = 0; y < hand.height() && top < 0; ++y) {
            for (int x = 0; x < hand.width(); ++x) {
                if (qAlpha(hand.pixel(x, y)) > 128) {
                    top = y;
                    QVERIFY2(qAbs(x - 25 * 8) <= 40, qPrintable(QString::number(x)));
                    break;
                }
            }
        }
        QVERIFY2(top >= 4 * 8 && top <= 10 * 8, qPrintable(QString::number(top)));
    }
};

QTEST_GUILESS_MAIN(TestArt)
#include "tst_art.moc"
