#include <QImage>
#include <QTest>

// PointerHand.qml places the hand picture by its fingertip: 25 px right of and 10 px below the
// top-left on the 64 x 64 grid the picture is drawn on.
class TestArt : public QObject
{
    Q_OBJECT

private slots:
    void handPointsUpFromItsFingertip()
    {
        const QImage hand(QStringLiteral(":/images/hand.png"));
        QCOMPARE(hand.size(), QSize(512, 512));
        QVERIFY(hand.hasAlphaChannel());

        // On the 64 x 64 grid: the fingertip at about (25, 10) is drawn, nothing beside it is.
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
