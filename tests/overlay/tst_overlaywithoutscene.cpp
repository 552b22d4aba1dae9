// The overlay window when its scene cannot be loaded: this program does not link the resources,
// so qrc:/qml/main.qml does not exist. The window must still come up, say why it is empty, and
// keep taking updates.

#include "LogCapture.h"
#include "OverlayWindow.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlError>
#include <QScreen>
#include <QTest>

class TestOverlayWithoutScene : public QObject
{
    Q_OBJECT

private slots:
    void reportsEachErrorAndStaysUsable()
    {
        LogCapture log;
        OverlayWindow overlay(nullptr);
        const QStringList lines = log.texts();
        QCOMPARE(lines.mid(0, 3),
                 QStringList({"Platform bridge not available, using primary screen",
                              "Window transparency configured", "Failed to load QML"}));
        for (const QString &raw : log.rawLines()) {
            const LogLine line = LogLine::parse(raw);
            if (line.text.startsWith(QLatin1String("Failed to load"))
                || line.text.startsWith(QLatin1String("QML Error")))
                QCOMPARE(line.tag, QStringLiteral("ERROR"));
        }

        // One line per error the engine reported, and nothing after them.
        QCOMPARE(overlay.status(), QQuickView::Error);
        QVERIFY(!overlay.errors().isEmpty());
        QStringList errorLines;
        for (const QQmlError &error : overlay.errors())
            errorLines << QStringLiteral("QML Error: %1").arg(error.toString());
        QCOMPARE(lines.mid(3), errorLines);
        QVERIFY2(lines.last().contains(QLatin1String("qrc:/qml/main.qml")),
                 qPrintable(lines.last()));
        QCOMPARE(log.count(QStringLiteral("Overlay window initialized successfully")), 0);
        QCOMPARE(overlay.rootObject(), nullptr);

        // Placed and published all the same, and it still takes updates.
        QCOMPARE(overlay.geometry(), QGuiApplication::primaryScreen()->geometry());
        QCOMPARE(overlay.rootContext()->contextProperty("currentState").toString(),
                 QStringLiteral("IDLE"));
        QVERIFY(overlay.guidanceRenderer());
        overlay.updateState(6);
        QCOMPARE(overlay.rootContext()->contextProperty("currentState").toString(),
                 QStringLiteral("MATCH_READY"));
    }
};

QTEST_MAIN(TestOverlayWithoutScene)
#include "tst_overlaywithoutscene.moc"
