#include "LiveMatchWindow.h"
#include "MatchWidgetData.h"
#include "QuickItems.h"
#include "UrlCatcher.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QProcess>
#include <QQuickItem>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// An ISO time stamp `ms` milliseconds from now, as the platform sends it.
QString fromNow(qint64 ms)
{
    return QDateTime::currentDateTimeUtc().addMSecs(ms).toString(Qt::ISODateWithMs);
}

// JSON written with single quotes; "FUTURE" stands for a time ten minutes ahead.
QJsonObject record(QByteArray json)
{
    json.replace('\'', '"');
    json.replace("FUTURE", fromNow(10 * 60 * 1000).toUtf8());
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        qFatal("bad record in the test: %s", json.constData());
    return document.object();
}

// A match as the live-game response gives it, in an eight-team bracket.
const char *const fullMatch =
    "{'matchId':'m-77','gameNumber':2,'scheduledTime':'FUTURE','startedAt':null,"
    "'lobbyId':'lobby-9','tournament':{'name':'Winter Cup','participantCount':8,"
    "'type':'SINGLE_ELIMINATION'},'match':{'round':'2','bracket':''},"
    "'opponent':{'name':'phoenix Rising','avatar':'https://cdn.test/a.png'},"
    "'userSide':'RADIANT'}";

// Where the X server has the window, whatever Qt believes.
QRect serverGeometry(WId window)
{
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    if (!xwininfo.waitForFinished(5000))
        return {};
    const QString out = QString::fromLocal8Bit(xwininfo.readAllStandardOutput());
    auto value = [&out](const char *label) {
        const QRegularExpression pattern(QString::fromLatin1(label)
                                         + QStringLiteral(":\\s+(-?\\d+)"));
        return pattern.match(out).captured(1).toInt();
    };
    return QRect(value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
                 value("Height"));
}

} // namespace

// The live-match card on the virtual desktop of scripts/test (1920 x 1080, openbox, trayer),
// driven through its data object and through real clicks on its page.
class TestLiveMatchWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<LiveMatchWindow> m_window;

    MatchWidgetData *data() const { return m_window->matchWidgetData(); }
    QQuickItem *root() const { return m_window->rootObject(); }
    QQuickItem *item(const QString &name) const { return quickItem(*m_window, name); }

    QString text(const QString &name) const
    {
        QQuickItem *found = item(name);
        return found ? found->property("text").toString() : QStringLiteral("<missing>");
    }

    bool timerRunning() const
    {
        return root()->findChild<QObject *>(QStringLiteral("countdownTimer"))
            ->property("running")
            .toBool();
    }

    void click(const QString &name) { QVERIFY2(clickItem(*m_window, name), qPrintable(name)); }

    void showAndWait()
    {
        m_window->showWidget();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void updateWithTime(const QString &scheduledTime)
    {
        QJsonObject match = record(fullMatch);
        match.insert(QStringLiteral("scheduledTime"), scheduledTime);
        data()->updateFromLiveGame(match);
    }

    void verifyTimeUp() const
    {
        QCOMPARE(text("headerTitle"), QStringLiteral("Match Ready!"));
        QCOMPARE(text("countdownLabel"), QStringLiteral("Starting now!"));
        QVERIFY(!item("countdownText")->isVisible());
        QVERIFY(!timerRunning());
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
                 "this test needs the X server of scripts/test");
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1920, 1080));
    }

    void init()
    {
        m_window = std::make_unique<LiveMatchWindow>();
        QVERIFY(root());
    }

    void cleanup() { m_window.reset(); }

    // 24 px from the right and 50 px from the bottom, also after collapsing, which outlives hiding.
    // The launch button opens Steam and hides the card.
    void placementAndLaunch()
    {
        const QRect expanded(1516, 410, 380, 620);
        const QRect collapsed(1516, 980, 380, 50);
        showAndWait();
        QCOMPARE(m_window->geometry(), expanded);
        QTRY_COMPARE(serverGeometry(m_window->winId()), expanded);

        click("toggleButton");
        QTRY_COMPARE(m_window->geometry(), collapsed);
        QTRY_COMPARE(serverGeometry(m_window->winId()), collapsed);
        QVERIFY(!item("content")->isVisible());

        m_window->hideWidget();
        QVERIFY(!m_window->isVisible());
        showAndWait();
        QCOMPARE(m_window->geometry(), collapsed);

        click("toggleButton");
        QTRY_COMPARE(m_window->geometry(), expanded);
        QVERIFY(item("content")->isVisible());

        UrlCatcher catcher({QStringLiteral("steam")});
        click("launchButton");
        QCOMPARE(catcher.opened, QList<QUrl>({QUrl(QStringLiteral("steam://run/570"))}));
        QTRY_VERIFY(!m_window->isVisible());
    }

    // The expanded card holds all its parts with 16 px to spare at the bottom; the gaps between
    // them are 12 px unless that would push the launch button out. Persian mirrors the card.
    void cardLayout_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("fullGaps");
        const QByteArray duel = "{'scheduledTime':'FUTURE','opponent':{'name':'Ana'},"
                                "'tournament':{'name':'Duel','participantCount':2}}";
        QTest::addRow("Persian, every part") << "fa" << QByteArray(fullMatch) << false;
        QTest::addRow("English, no badges or side") << "en" << duel << true;
    }

    void cardLayout()
    {
        QFETCH(QString, lang);
        QFETCH(QByteArray, json);
        QFETCH(bool, fullGaps);
        data()->setLang(lang);
        data()->updateFromLiveGame(record(json));
        showAndWait();

        const QQuickItem *button = item("launchButton");
        const qreal bottom = button->mapToScene(QPointF(0, button->height())).y();
        const QQuickItem *first = item("countdownBox");
        const qreal gap = item("lobbyStatusBox")->y() - (first->y() + first->height());
        QVERIFY2(bottom <= root()->height() - 16, qPrintable(QString::number(bottom)));
        QVERIFY(gap >= 6);
        QCOMPARE(gap == 12, fullGaps);

        const bool persian = lang == QLatin1String("fa");
        QCOMPARE(centreOf(*item("toggleButton")).x() < centreOf(*item("headerTitle")).x(), persian);
        for (const char *name : {"instruction1", "instruction2", "instruction3", "countdownLabel",
                                 "tournamentNameText"}) {
            QCOMPARE(item(QLatin1String(name))->property("lineCount").toInt(), 1);
            QCOMPARE(item(QLatin1String(name))->property("effectiveHorizontalAlignment").toInt(),
                     int(persian ? Qt::AlignRight : Qt::AlignLeft));
        }
    }

    // Empty `expected`: the time is up.
    void countdown_data()
    {
        QTest::addColumn<qint64>("aheadMs");
        QTest::addColumn<QString>("scheduledTime");
        QTest::addColumn<QString>("expected");
        // Half a second on top, so that the time between writing and reading takes no second off.
        QTest::addRow("125 minutes 7 seconds") << qint64((125 * 60 + 7) * 1000 + 500) << "" << "125:07";
        QTest::addRow("9 seconds") << qint64(9'500) << "" << "0:09";
        QTest::addRow("empty") << qint64(0) << "" << "";
        QTest::addRow("in the past") << qint64(0) << "2020-01-01T10:00:00.000Z" << "";
        QTest::addRow("unreadable") << qint64(0) << "next Tuesday-ish" << "";
    }

    void countdown()
    {
        QFETCH(qint64, aheadMs);
        QFETCH(QString, scheduledTime);
        QFETCH(QString, expected);
        data()->updateFromLiveGame(record(fullMatch)); // from a running countdown
        QVERIFY(timerRunning());
        updateWithTime(aheadMs > 0 ? fromNow(aheadMs) : scheduledTime);
        if (expected.isEmpty()) {
            verifyTimeUp();
            return;
        }
        QCOMPARE(text("countdownText"), expected);
        QVERIFY(item("countdownText")->isVisible());
        QCOMPARE(text("headerTitle"), QStringLiteral("Upcoming Match"));
        QCOMPARE(text("countdownLabel"), QStringLiteral("Starts in"));
        QVERIFY(timerRunning());
    }

    // One step a second with no value skipped, down to zero, where the countdown stops until a
    // time ahead starts it again.
    void countsDownToZeroAndRestarts()
    {
        updateWithTime(fromNow(2'500));
        QCOMPARE(text("countdownText"), QStringLiteral("0:02"));
        QSignalSpy changes(item("countdownText"), SIGNAL(textChanged(QString)));
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(text("countdownText"), QStringLiteral("0:00"), 4000);
        // The timer may already run when the match arrives: the first step comes within a second,
        // the second one a second after it.
        QVERIFY2(clock.elapsed() >= 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(changes.count(), 2);
        QCOMPARE(changes.at(0).at(0).toString(), QStringLiteral("0:01"));
        QTRY_VERIFY_WITH_TIMEOUT(root()->property("isTimeUp").toBool(), 3000);
        verifyTimeUp();

        updateWithTime(fromNow(90'500));
        QVERIFY(timerRunning());
        QCOMPARE(text("countdownText"), QStringLiteral("1:30"));
        QCOMPARE(text("headerTitle"), QStringLiteral("Upcoming Match"));
    }

    // What the page shows for a given match: texts, colours and which parts are there at all.
    void shownValues_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("expected");
        const auto row = [](const char *tag, const QByteArray &json, const char *objectName,
                            const char *property, const QVariant &expected) {
            QTest::addRow("%s", tag) << json << QString::fromLatin1(objectName)
                                     << QByteArray(property) << expected;
        };
        const QByteArray ready = "{'scheduledTime':'FUTURE','lobbyId':'l-1','startedAt':null}";
        const QByteArray playing =
            "{'scheduledTime':'FUTURE','lobbyId':'l-1','startedAt':'2030-01-01T00:00:00Z'}";
        row("ready", ready, "lobbyStatusText", "text", QVariant("Lobby Ready"));
        row("playing", playing, "lobbyStatusText", "text", QVariant("Match In Progress"));

        const QByteArray bracket = "{'gameNumber':3,'tournament':{'name':'Winter Cup',"
                                   "'participantCount':8},'match':{'round':'2'}}";
        const QByteArray duel =
            "{'gameNumber':3,'tournament':{'name':'Winter Cup','participantCount':2}}";
        const QByteArray single =
            "{'gameNumber':3,'tournament':{'name':'Winter Cup','participantCount':1}}";
        row("bracket: round badge", bracket, "roundBadgeText", "text", QVariant("Semi-Finals"));
        row("duel: no badges", duel, "badgesRow", "visible", QVariant(false));
        row("no label: no round badge", single, "roundBadge", "visible", QVariant(false));
        row("no tournament name", "{'matchId':'m'}", "tournamentNameText", "text",
            QVariant("Unknown Tournament"));

        row("opponent initial", "{'opponent':{'name':'phoenix Rising'}}", "opponentInitial",
            "text", QVariant("P"));
        // MATHEMATICAL BOLD SMALL A, outside the 16-bit range: one letter, not half of one.
        row("initial beyond 16 bits", "{'opponent':{'name':'\xf0\x9d\x90\x9a team'}}",
            "opponentInitial", "text", QVariant(QString::fromUtf8("\xf0\x9d\x90\x9a")));
        row("no opponent", "{'matchId':'m'}", "opponentNameText", "text", QVariant("TBD"));
        row("radiant colour", "{'userSide':'RADIANT'}", "sideText", "color",
            QVariant(QColor(0x4ade80)));
        row("no side", "{'userSide':''}", "sideBox", "visible", QVariant(false));
    }

    void shownValues()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, objectName);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, expected);
        data()->updateFromLiveGame(record(json));
        QQuickItem *target = item(objectName);
        QVERIFY(target);
        QCOMPARE(target->property(property.constData()), expected);
    }

    // Every text of the card follows the language, both ways; the round label too, although
    // it is built in C++ from a record that arrived before the change.
    void persianTexts()
    {
        data()->updateFromLiveGame(record("{'scheduledTime':'FUTURE','lobbyId':'','tournament':"
                                          "{'participantCount':8},'match':{'round':'2'}}"));
        const auto texts = [this] {
            return QStringList{text("lobbyStatusText"), text("roundBadgeText")};
        };
        const QStringList english{"Creating Lobby...", "Semi-Finals"};
        QCOMPARE(texts(), english);
        data()->setLang(QStringLiteral("fa"));
        QCOMPARE(texts(), QStringList({QString::fromUtf8("در حال ساخت لابی..."),
                                       QString::fromUtf8("نیمه\u200cنهایی")}));
        data()->setLang(QStringLiteral("en"));
        QCOMPARE(texts(), english);
    }
};

QTEST_MAIN(TestLiveMatchWindow)
#include "tst_livematchwindow.moc"
