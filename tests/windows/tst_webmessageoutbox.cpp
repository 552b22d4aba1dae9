#include "WebMessageOutbox.h"

#include <QJSEngine>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

QString box(const QString &epoch, const QList<int> &seqs)
{
    QJsonArray messages;
    for (int seq : seqs)
        messages.append(QJsonObject{{"seq", seq},
                                    {"channel", "match:started"},
                                    {"args", QJsonArray{QStringLiteral("m-%1").arg(seq)}}});
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{"epoch", epoch}, {"next", 99}, {"messages", messages}})
            .toJson(QJsonDocument::Compact));
}

QStringList argsOf(const QList<WebMessageOutbox::Message> &messages)
{
    QStringList args;
    for (const WebMessageOutbox::Message &message : messages)
        args << message.args.value(0).toString();
    return args;
}

} // namespace

// The launcher's side of the page-to-launcher message carrier.
class TestWebMessageOutbox : public QObject
{
    Q_OBJECT

private slots:
    void receivesEachMessageOnce()
    {
        WebMessageOutbox outbox;
        QCOMPARE(argsOf(outbox.receive(box("e1", {1, 2}))), QStringList({"m-1", "m-2"}));
        // The page has not trimmed yet (the next collection carries the acknowledgement).
        QCOMPARE(argsOf(outbox.receive(box("e1", {1, 2}))), QStringList());
        QCOMPARE(argsOf(outbox.receive(box("e1", {1, 2, 3}))), QStringList({"m-3"}));
        QCOMPARE(argsOf(outbox.receive(box("e1", {3, 4}))), QStringList({"m-4"}));
        // Another queue (a new tab storage or origin) counts on its own.
        QCOMPARE(argsOf(outbox.receive(box("e2", {1}))), QStringList({"m-1"}));
        QCOMPARE(argsOf(outbox.receive(box("e1", {5}))), QStringList({"m-5"}));
    }

    void ignoresWhatIsNotAQueue_data()
    {
        QTest::addColumn<QVariant>("result");
        QTest::addRow("undefined") << QVariant();
        QTest::addRow("null text") << QVariant(QStringLiteral("null"));
        QTest::addRow("not json") << QVariant(QStringLiteral("{"));
        QTest::addRow("no epoch") << QVariant(QString(box("", {1})));
        QTest::addRow("messages not a list")
            << QVariant(QStringLiteral("{\"epoch\":\"e\",\"messages\":{}}"));
        QTest::addRow("a number") << QVariant(42);
    }

    void ignoresWhatIsNotAQueue()
    {
        QFETCH(QVariant, result);
        WebMessageOutbox outbox;
        QVERIFY(outbox.receive(result).isEmpty());
    }

    void argumentsSurviveAsJson()
    {
        const QJsonArray args{QString::fromUtf8("quote \" and \\ ✅ یونیکد"), 7,
                              QJsonObject{{"k", QJsonArray{true, QJsonValue()}}}};
        const QJsonObject message{{"seq", 1}, {"channel", "overlay:slotOccupied"}, {"args", args}};
        const QList<WebMessageOutbox::Message> messages = WebMessageOutbox().receive(QString::fromUtf8(
            QJsonDocument(QJsonObject{{"epoch", "e"}, {"next", 2}, {"messages", QJsonArray{message}}})
                .toJson()));
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].channel, QStringLiteral("overlay:slotOccupied"));
        QCOMPARE(messages[0].args, args.toVariantList());
    }

    // The collection script itself, run against a stand-in for the page's session storage.
    void scriptTrimsOnlyWhatWasReceived()
    {
        QJSEngine engine;
        engine.evaluate(QStringLiteral(
            "var stored = {}; var window = { sessionStorage: {"
            " getItem: function (k) { return k in stored ? stored[k] : null; },"
            " setItem: function (k, v) { stored[k] = String(v); } } };"));
        WebMessageOutbox outbox;

        QCOMPARE(engine.evaluate(outbox.collectScript()).toString(), QStringLiteral("null"));

        engine.evaluate(QStringLiteral("stored['corvanta.launcher.outbox'] = '%1'")
                            .arg(box("e1", {1, 2})));
        QCOMPARE(argsOf(outbox.receive(engine.evaluate(outbox.collectScript()).toVariant())),
                 QStringList({"m-1", "m-2"}));

        // The page queues a third message; the next collection drops the two received ones.
        engine.evaluate(QStringLiteral(
            "var b = JSON.parse(stored['corvanta.launcher.outbox']);"
            "b.messages.push({seq: 3, channel: 'match:started', args: ['m-3']});"
            "stored['corvanta.launcher.outbox'] = JSON.stringify(b);"));
        QCOMPARE(argsOf(outbox.receive(engine.evaluate(outbox.collectScript()).toVariant())),
                 QStringList({"m-3"}));
        const QJSValue left = engine.evaluate(
            QStringLiteral("JSON.parse(stored['corvanta.launcher.outbox']).messages.map("
                           "function (m) { return m.seq; }).join(',')"));
        QCOMPARE(left.toString(), QStringLiteral("3"));

        // A queue the page broke is left as it is.
        engine.evaluate(QStringLiteral("stored['corvanta.launcher.outbox'] = '{broken'"));
        const QJSValue broken = engine.evaluate(outbox.collectScript());
        QVERIFY2(broken.isNull(), qPrintable(broken.toString()));
        QCOMPARE(engine.evaluate(QStringLiteral("stored['corvanta.launcher.outbox']")).toString(),
                 QStringLiteral("{broken"));
    }
};

QTEST_GUILESS_MAIN(TestWebMessageOutbox)
#include "tst_webmessageoutbox.moc"
