#include "GuidanceRenderer.h"

#include <QTest>

namespace {

// The names of the renderer's signals, in the order they were emitted.
class SignalRecorder
{
public:
    explicit SignalRecorder(GuidanceRenderer *renderer)
    {
        record(renderer, &GuidanceRenderer::showPointerChanged, "showPointerChanged");
        record(renderer, &GuidanceRenderer::pointerPositionChanged, "pointerPositionChanged");
        record(renderer, &GuidanceRenderer::pointerImagePathChanged, "pointerImagePathChanged");
        record(renderer, &GuidanceRenderer::showBoundingBoxChanged, "showBoundingBoxChanged");
        record(renderer, &GuidanceRenderer::boundingBoxChanged, "boundingBoxChanged");
    }

    QStringList emitted;

private:
    void record(GuidanceRenderer *renderer, void (GuidanceRenderer::*signal)(), const char *name)
    {
        QObject::connect(renderer, signal, renderer,
                         [this, name] { emitted << QString::fromLatin1(name); });
    }
};

// Runs a script of renderer calls separated by ";": "pointer X Y", "hide", "box X Y W H",
// "clear". Returns false on a line it does not know.
bool runScript(GuidanceRenderer &renderer, const QString &script)
{
    for (const QString &step : script.split(u';', Qt::SkipEmptyParts)) {
        const QStringList words = step.split(u' ', Qt::SkipEmptyParts);
        QList<double> numbers;
        for (qsizetype i = 1; i < words.size(); ++i)
            numbers << words[i].toDouble();
        if (words.value(0) == QLatin1String("pointer") && numbers.size() == 2)
            renderer.setPointer(QPointF(numbers[0], numbers[1]));
        else if (words.value(0) == QLatin1String("hide") && numbers.isEmpty())
            renderer.hidePointer();
        else if (words.value(0) == QLatin1String("box") && numbers.size() == 4)
            renderer.setBoundingBox(QRectF(numbers[0], numbers[1], numbers[2], numbers[3]));
        else if (words.value(0) == QLatin1String("clear") && numbers.isEmpty())
            renderer.clearBoundingBox();
        else
            return false;
    }
    return true;
}

} // namespace

class TestGuidanceRenderer : public QObject
{
    Q_OBJECT

private slots:
    // The view binds to the properties, so each change is notified once and no change at all.
    void notifications_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("emitted");
        QTest::addRow("pointer moved")
            << "pointer 100 200; pointer 100 201"
            << QStringList{"showPointerChanged", "pointerPositionChanged", "pointerPositionChanged"};
        // The position starts at (0, 0), so pointing there only shows the hand.
        QTest::addRow("pointer at the origin") << "pointer 0 0" << QStringList{"showPointerChanged"};
        // Within the relative tolerance of 1e-12 the position counts as unchanged.
        QTest::addRow("rounding noise")
            << "pointer 100 200; pointer 100.00000000000001 200"
            << QStringList{"showPointerChanged", "pointerPositionChanged"};
        QTest::addRow("hide when shown, twice")
            << "pointer 100 200; hide; hide"
            << QStringList{"showPointerChanged", "pointerPositionChanged", "showPointerChanged"};
        // Hiding keeps the position: showing it at the same place again does not move it.
        QTest::addRow("shown again at the same place")
            << "pointer 100 200; hide; pointer 100 200"
            << QStringList{"showPointerChanged", "pointerPositionChanged", "showPointerChanged",
                           "showPointerChanged"};
        QTest::addRow("bounding box set twice")
            << "box 10 20 300 40; box 10 20 300 40"
            << QStringList{"showBoundingBoxChanged", "boundingBoxChanged", "boundingBoxChanged"};
        QTest::addRow("clear when shown, twice")
            << "box 10 20 300 40; clear; clear"
            << QStringList{"showBoundingBoxChanged", "boundingBoxChanged", "showBoundingBoxChanged"};
        // The hand and the frame do not affect each other.
        QTest::addRow("hand and frame apart")
            << "pointer 100 200; box 10 20 300 40; hide; clear"
            << QStringList{"showPointerChanged", "pointerPositionChanged", "showBoundingBoxChanged",
                           "boundingBoxChanged", "showPointerChanged", "showBoundingBoxChanged"};
    }

    void notifications()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, emitted);
        GuidanceRenderer renderer;
        SignalRecorder recorder(&renderer);
        QVERIFY(runScript(renderer, script));
        QCOMPARE(recorder.emitted, emitted);
    }

    // Clearing the frame keeps its rectangle; a new one shows it again.
    void boxAfterScript_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("showBox");
        QTest::addColumn<QRectF>("box");
        QTest::addRow("box cleared keeps its rectangle")
            << "box 1 2 3 4; clear" << false << QRectF(1, 2, 3, 4);
        QTest::addRow("box set while cleared")
            << "box 1 2 3 4; clear; box 9 9 9 9" << true << QRectF(9, 9, 9, 9);
    }

    void boxAfterScript()
    {
        QFETCH(QString, script);
        QFETCH(bool, showBox);
        QFETCH(QRectF, box);
        GuidanceRenderer renderer;
        QVERIFY(runScript(renderer, script));
        QCOMPARE(renderer.showBoundingBox(), showBox);
        QCOMPARE(renderer.boundingBox(), box);
    }
};

QTEST_GUILESS_MAIN(TestGuidanceRenderer)
#include "tst_guidancerenderer.moc"
