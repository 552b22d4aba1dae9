#include "GuidanceRenderer.h"
#include "LogCapture.h"

#include <QMetaProperty>
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
    void startsWithNothingShown()
    {
        const GuidanceRenderer renderer;
        QCOMPARE(renderer.showPointer(), false);
        QCOMPARE(renderer.pointerPosition(), QPointF(0, 0));
        QCOMPARE(renderer.pointerImagePath(), QStringLiteral("qrc:/images/hand.png"));
        QCOMPARE(renderer.showBoundingBox(), false);
        QVERIFY(renderer.boundingBox().isNull());
        QCOMPARE(renderer.boundingBox(), QRectF(0, 0, 0, 0));
        QCOMPARE(renderer.parent(), nullptr);
    }

    // The view binds to these; a writable or misnamed property would break the bindings
    // silently.
    void propertiesAreReadOnlyAndNotify()
    {
        const QMetaObject &meta = GuidanceRenderer::staticMetaObject;
        QStringList names;
        for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
            const QMetaProperty property = meta.property(i);
            names << QString::fromLatin1(property.name());
            QVERIFY2(!property.isWritable(), property.name());
            QVERIFY2(property.isFinal(), property.name());
            QCOMPARE(QString::fromLatin1(property.notifySignal().name()),
                     names.last() + QStringLiteral("Changed"));
        }
        QCOMPARE(names, QStringList({"showPointer", "pointerPosition", "pointerImagePath",
                                     "showBoundingBox", "boundingBox"}));

        GuidanceRenderer renderer;
        QCOMPARE(renderer.property("pointerPosition").toPointF(), QPointF(0, 0));
        QVERIFY(!renderer.setProperty("showPointer", true));
        QCOMPARE(renderer.showPointer(), false);
    }

    void signalsAndLogLines_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("emitted");
        QTest::addColumn<QStringList>("logged");

        const QString pointerLine = QStringLiteral("Pointer set to: (100, 200)");
        const QString boxLine = QStringLiteral("Bounding box set: x=10, y=20, w=300, h=40");

        QTest::addRow("pointer set twice")
            << "pointer 100 200; pointer 100 200"
            << QStringList{"showPointerChanged", "pointerPositionChanged"}
            << QStringList{pointerLine, pointerLine};
        QTest::addRow("pointer moved")
            << "pointer 100 200; pointer 100 201"
            << QStringList{"showPointerChanged", "pointerPositionChanged", "pointerPositionChanged"}
            << QStringList{pointerLine, "Pointer set to: (100, 201)"};
        // The position starts at (0, 0), so pointing there only shows the hand.
        QTest::addRow("pointer at the origin")
            << "pointer 0 0" << QStringList{"showPointerChanged"}
            << QStringList{"Pointer set to: (0, 0)"};
        // Within the relative tolerance of 1e-12 the position counts as unchanged.
        QTest::addRow("rounding noise")
            << "pointer 100 200; pointer 100.00000000000001 200"
            << QStringList{"showPointerChanged", "pointerPositionChanged"}
            << QStringList{pointerLine, pointerLine};
        QTest::addRow("hide when hidden") << "hide" << QStringList{} << QStringList{};
        QTest::addRow("hide when shown, twice")
            << "pointer 100 200; hide; hide"
            << QStringList{"showPointerChanged", "pointerPositionChanged", "showPointerChanged"}
            << QStringList{pointerLine, "Pointer hidden"};
        // Hiding keeps the position: showing it at the same place again moves nothing.
        QTest::addRow("shown again at the same place")
            << "pointer 100 200; hide; pointer 100 200"
            << QStringList{"showPointerChanged", "pointerPositionChanged", "showPointerChanged",
                           "showPointerChanged"}
            << QStringList{pointerLine, "Pointer hidden", pointerLine};
        QTest::addRow("bounding box set twice")
            << "box 10 20 300 40; box 10 20 300 40"
            << QStringList{"showBoundingBoxChanged", "boundingBoxChanged", "boundingBoxChanged"}
            << QStringList{boxLine, boxLine};
        QTest::addRow("clear when cleared") << "clear" << QStringList{} << QStringList{};
        QTest::addRow("clear when shown, twice")
            << "box 10 20 300 40; clear; clear"
            << QStringList{"showBoundingBoxChanged", "boundingBoxChanged", "showBoundingBoxChanged"}
            << QStringList{boxLine, "Bounding box cleared"};
        // An empty rectangle is stored and shown all the same.
        QTest::addRow("empty rectangle")
            << "box 0 0 0 0" << QStringList{"showBoundingBoxChanged", "boundingBoxChanged"}
            << QStringList{"Bounding box set: x=0, y=0, w=0, h=0"};
        // The hand and the frame do not affect each other.
        QTest::addRow("hand and frame apart")
            << "pointer 100 200; box 10 20 300 40; hide; clear"
            << QStringList{"showPointerChanged", "pointerPositionChanged", "showBoundingBoxChanged",
                           "boundingBoxChanged", "showPointerChanged", "showBoundingBoxChanged"}
            << QStringList{pointerLine, boxLine, "Pointer hidden", "Bounding box cleared"};
    }

    void signalsAndLogLines()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, emitted);
        QFETCH(QStringList, logged);
        GuidanceRenderer renderer;
        SignalRecorder recorder(&renderer);
        LogCapture log;
        QVERIFY(runScript(renderer, script));
        QCOMPARE(recorder.emitted, emitted);
        QCOMPARE(log.texts(), logged);
        for (const QString &line : log.rawLines())
            QCOMPARE(LogLine::parse(line).tag, QStringLiteral("DEBUG"));
    }

    void stateAfterScript_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("showPointer");
        QTest::addColumn<QPointF>("position");
        QTest::addColumn<bool>("showBox");
        QTest::addColumn<QRectF>("box");
        QTest::addRow("pointer hidden keeps its place")
            << "pointer 12.5 7; hide" << false << QPointF(12.5, 7) << false << QRectF();
        QTest::addRow("box cleared keeps its rectangle")
            << "box 1 2 3 4; clear" << false << QPointF() << false << QRectF(1, 2, 3, 4);
        QTest::addRow("last box wins")
            << "box 1 2 3 4; box 5 6 7 8" << false << QPointF() << true << QRectF(5, 6, 7, 8);
        QTest::addRow("box set while cleared")
            << "box 1 2 3 4; clear; box 9 9 9 9" << false << QPointF() << true
            << QRectF(9, 9, 9, 9);
    }

    void stateAfterScript()
    {
        QFETCH(QString, script);
        QFETCH(bool, showPointer);
        QFETCH(QPointF, position);
        QFETCH(bool, showBox);
        QFETCH(QRectF, box);
        GuidanceRenderer renderer;
        QVERIFY(runScript(renderer, script));
        QCOMPARE(renderer.showPointer(), showPointer);
        QCOMPARE(renderer.pointerPosition(), position);
        QCOMPARE(renderer.showBoundingBox(), showBox);
        QCOMPARE(renderer.boundingBox(), box);
    }

    // Coordinates are written by QString::arg's defaults for doubles: the shortest of plain and
    // exponent notation, six significant digits.
    void numberFormatting_data()
    {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<QString>("pointerLine");
        QTest::addColumn<QString>("boxLine");
        QTest::addRow("whole numbers")
            << QPointF(811, 762) << QRectF(1012, 282, 422, 297)
            << "Pointer set to: (811, 762)" << "Bounding box set: x=1012, y=282, w=422, h=297";
        QTest::addRow("fractions and signs")
            << QPointF(12.5, -0.25) << QRectF(-3.5, 0.125, 1920.75, 0.5)
            << "Pointer set to: (12.5, -0.25)"
            << "Bounding box set: x=-3.5, y=0.125, w=1920.75, h=0.5";
        QTest::addRow("more than six digits")
            << QPointF(1234567, 0.1 + 0.2) << QRectF(1e-5, 3840.123456, 1e7, 2.0 / 3)
            << "Pointer set to: (1.23457e+06, 0.3)"
            << "Bounding box set: x=1e-05, y=3840.12, w=1e+07, h=0.666667";
    }

    void numberFormatting()
    {
        QFETCH(QPointF, point);
        QFETCH(QRectF, rect);
        QFETCH(QString, pointerLine);
        QFETCH(QString, boxLine);
        GuidanceRenderer renderer;
        LogCapture log;
        renderer.setPointer(point);
        renderer.setBoundingBox(rect);
        QCOMPARE(log.texts(), QStringList({pointerLine, boxLine}));
    }
};

QTEST_GUILESS_MAIN(TestGuidanceRenderer)
#include "tst_guidancerenderer.moc"
