// The overlay window when its scene cannot be loaded: this program does not link the resources,
// so qrc:/qml/main.qml does not exist. The window must still come up, say why it is empty, and
// keep taking updates.

#include "LogCapture.h"
#include "OverlayWindow.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

class TestOverlayWithoutScene : public QObject
{
    Q_OBJECT

private slots:
    void reportsTheErrorAndStaysUsable()
    {
        LogCapture log;
        OverlayWindow overlay(nullptr);
        QCOMPARE(overlay.status(), QQuickView::Error);
        QCOMPARE(overlay.rootObject(), nullptr);
        const QStringList errors =
            log.texts().filter(QRegularExpression(QStringLiteral("^QML Error: .*qrc:/qml/main.qml")));
        QVERIFY(!overlay.errors().isEmpty());
        QCOMPARE(errors.size(), overlay.errors().size());
        QCOMPARE(log.count(QStringLiteral("Overlay window initialized successfully")), 0);

        QCOMPARE(overlay.geometry(), QGuiApplication::primaryScreen()->geometry());
        overlay.updateState(6);
        QCOMPARE(overlay.rootContext()->contextProperty("currentState").toString(),
                 QStringLiteral("MATCH_READY"));
    }
};

QTEST_MAIN(TestOverlayWithoutScene)
#include "tst_overlaywithoutscene.moc"
