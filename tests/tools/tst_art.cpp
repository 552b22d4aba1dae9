#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The committed pictures are exactly what the generator draws, and have the shapes the program
// relies on.
class TestArt : public QObject
{
    Q_OBJECT

private slots:
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
        QTemporaryDir out;
        QProcess generator;
        generator.start(QStringLiteral(ART_BINARY), {out.path()});
        QVERIFY(generator.waitForFinished(30000));
        QCOMPARE(generator.exitCode(), 0);

        QImageReader fresh(out.filePath(file));
        QImageReader committed(QStringLiteral(":/") + file);
        QCOMPARE(fresh.imageCount(), committed.imageCount());
        do {
            const QImage freshImage = fresh.read();
            const QImage committedImage = committed.read();
            QVERIFY(!freshImage.isNull());
            QCOMPARE(freshImage, committedImage);
        } while (fresh.jumpToNextImage() && committed.jumpToNextImage());
    }

    // The lobby detectors match these pictures at exactly these sizes.
    void templatesHaveTheirSizes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        QTest::addRow("invitation popup") << "invitation_popup.png" << QSize(771, 587);
        QTest::addRow("accept button") << "accept_button.png" << QSize(256, 61);
        QTest::addRow("lobby header") << "lobby_header.png" << QSize(930, 89);
        QTest::addRow("coach header") << "lobby_coach_header.png" << QSize(881, 60);
        QTest::addRow("slot occupied") << "slot_occupied.png" << QSize(421, 63);
        QTest::addRow("slot empty") << "slot_empty.png" << QSize(413, 63);
    }

    void templatesHaveTheirSizes()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        QImageReader reader(QStringLiteral(":/templates/") + file);
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), size);
        QVERIFY(image.hasAlphaChannel());
    }

    void iconFileHoldsEverySize()
    {
        QImageReader reader(QStringLiteral(":/icon.ico"));
        QList<int> sizes;
        for (int i = 0; i < reader.imageCount(); ++i) {
            QVERIFY(reader.jumpToImage(i));
            const QImage image = reader.read();
            QVERIFY(image.hasAlphaChannel());
            QCOMPARE(image.width(), image.height());
            sizes.append(image.width());
        }
        QCOMPARE(sizes, QList<int>({16, 24, 32, 48, 64, 128, 256}));
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
        QCOMPARE(alphaAt(25, 2), 0);
        QCOMPARE(alphaAt(10, 10), 0);
        QCOMPARE(alphaAt(40, 10), 0);
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
