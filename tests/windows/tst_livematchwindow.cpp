#include "LiveMatchWindow.h"
#include "LogCapture.h"
#include "MatchWidgetData.h"
#include "QuickItems.h"
#include "UrlCatcher.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QProcess>
#include <QQmlContext>
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

// JSON written with single quotes, to keep the tables readable. "FUTURE" stands for a time ten
// minutes ahead, so that the countdown runs unless a row says otherwise.
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

QString describe(uint point)
{
    return QStringLiteral("U+%1").arg(point, 4, 16, QLatin1Char('0')).toUpper();
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

    QQuickItem *item(const QString &name) const
    {
        QQuickItem *found = quickItem(*m_window, name);
        if (!found)
            qWarning("no item named %s", qPrintable(name));
        return found;
    }

    QString text(const QString &name) const
    {
        QQuickItem *found = item(name);
        return found ? found->property("text").toString() : QStringLiteral("<missing>");
    }

    QColor colour(const QString &name) const
    {
        const QQuickItem *found = item(name);
        return found ? found->property("color").value<QColor>() : QColor();
    }

    bool timerRunning() const
    {
        return root()->findChild<QObject *>(QStringLiteral("countdownTimer"))
            ->property("running")
            .toBool();
    }

    static QString positionedLine(int x, int y)
    {
        return QStringLiteral("LiveMatchWindow positioned at (%1, %2) on screen %3")
            .arg(x)
            .arg(y)
            .arg(QGuiApplication::primaryScreen()->name());
    }

    QPoint centreOf(const QString &name) const
    {
        const QQuickItem *target = item(name);
        return target ? ::centreOf(*target) : QPoint();
    }

    void click(const QString &name) { QVERIFY2(clickItem(*m_window, name), qPrintable(name)); }

    void showAndWait()
    {
        m_window->showWidget();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    // Compares two texts code point by code point, naming the first place where they differ.
    static void compareCodePoints(const QString &actual, const QString &expected)
    {
        const QList<uint> seen = actual.toUcs4();
        const QList<uint> wanted = expected.toUcs4();
        for (qsizetype i = 0; i < qMin(seen.size(), wanted.size()); ++i) {
            QVERIFY2(seen[i] == wanted[i],
                     qPrintable(QStringLiteral("code point %1: %2 instead of %3 in \"%4\"")
                                    .arg(i)
                                    .arg(describe(seen[i]), describe(wanted[i]), actual)));
        }
        QVERIFY2(seen.size() == wanted.size(),
                 qPrintable(QStringLiteral("%1 code points instead of %2 in \"%3\"")
                                .arg(seen.size())
                                .arg(wanted.size())
                                .arg(actual)));
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

    void cleanup()
    {
        m_window.reset();
    }

    void contextProperties_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("initial");
        QTest::addColumn<QVariant>("updated");

        QTest::addRow("hasMatch") << "hasMatch" << QVariant(false) << QVariant(true);
        QTest::addRow("matchId") << "matchId" << QVariant(QString()) << QVariant("m-77");
        QTest::addRow("gameNumber") << "gameNumber" << QVariant(1) << QVariant(2);
        QTest::addRow("scheduledTime") << "scheduledTime" << QVariant(QString())
                                       << QVariant("2031-05-04T18:30:00.000Z");
        QTest::addRow("isStarted") << "isStarted" << QVariant(false) << QVariant(false);
        QTest::addRow("lobbyStatus") << "lobbyStatus" << QVariant("creating") << QVariant("ready");
        QTest::addRow("tournamentName") << "tournamentName" << QVariant(QString())
                                        << QVariant("Winter Cup");
        QTest::addRow("roundLabel") << "roundLabel" << QVariant(QString())
                                    << QVariant(QString::fromUtf8("نیمه\u200cنهایی"));
        QTest::addRow("isCompetition") << "isCompetition" << QVariant(false) << QVariant(false);
        QTest::addRow("opponentName") << "opponentName" << QVariant(QString())
                                      << QVariant("phoenix Rising");
        QTest::addRow("opponentAvatar") << "opponentAvatar" << QVariant(QString())
                                        << QVariant("https://cdn.test/a.png");
        QTest::addRow("userSide") << "userSide" << QVariant(QString()) << QVariant("RADIANT");
        QTest::addRow("widgetLang") << "widgetLang" << QVariant("en") << QVariant("fa");
    }

    void contextProperties()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, initial);
        QFETCH(QVariant, updated);
        QQmlContext *context = m_window->rootContext();
        QCOMPARE(context->contextProperty(name), initial);

        // Whoever listens to dataChanged after the window was built already reads the new values.
        QVariant seenByLaterListener;
        connect(data(), &MatchWidgetData::dataChanged, this,
                [&] { seenByLaterListener = context->contextProperty(name); });
        data()->setLang(QStringLiteral("fa"));
        QJsonObject match = record(fullMatch);
        match.insert(QStringLiteral("scheduledTime"), QStringLiteral("2031-05-04T18:30:00.000Z"));
        data()->updateFromLiveGame(match);
        QCOMPARE(context->contextProperty(name), updated);
        QCOMPARE(seenByLaterListener, updated);

        // Clearing brings back the first values; the language stays as chosen.
        data()->clear();
        QCOMPARE(context->contextProperty(name),
                 name == QLatin1String("widgetLang") ? updated : initial);
    }

    void placementFollowsTheHeight()
    {
        LogCapture log;
        showAndWait();
        QCOMPARE(m_window->geometry(), QRect(1516, 410, 380, 620));
        QTRY_COMPARE(serverGeometry(m_window->winId()), QRect(1516, 410, 380, 620));
        QCOMPARE(text("toggleArrow"), QStringLiteral("\u25BC"));
        QVERIFY(item("content")->isVisible());

        click("toggleButton");
        QCOMPARE(root()->property("isExpanded").toBool(), false);
        QTRY_COMPARE(m_window->geometry(), QRect(1516, 980, 380, 50));
        QTRY_COMPARE(serverGeometry(m_window->winId()), QRect(1516, 980, 380, 50));
        QCOMPARE(text("toggleArrow"), QStringLiteral("\u25B2"));
        QVERIFY(!item("content")->isVisible());
        QVERIFY(log.texts().contains(positionedLine(1516, 980)));

        // The collapsed state belongs to the page and outlives hiding.
        m_window->hideWidget();
        showAndWait();
        QCOMPARE(m_window->geometry(), QRect(1516, 980, 380, 50));

        click("toggleButton");
        QTRY_COMPARE(m_window->geometry(), QRect(1516, 410, 380, 620));
        QTRY_COMPARE(serverGeometry(m_window->winId()), QRect(1516, 410, 380, 620));
        QVERIFY(item("content")->isVisible());
    }

    void showAndHideAreLogged()
    {
        for (int round = 0; round < 2; ++round) {
            LogCapture log;
            showAndWait();
            QVERIFY(m_window->isVisible());
            m_window->hideWidget();
            QVERIFY(!m_window->isVisible());
            QCOMPARE(log.texts(),
                     QStringList({positionedLine(1516, 410),
                                  QStringLiteral("LiveMatchWindow shown"),
                                  QStringLiteral("LiveMatchWindow hidden")}));
        }
    }

    // The expanded card holds all its parts with 16 px to spare at the bottom. The gaps between
    // the parts are 12 px unless that would push the launch button out.
    void contentFitsTheCard_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("fullGaps");

        const QByteArray duel = "{'scheduledTime':'FUTURE','opponent':{'name':'Ana'},"
                                "'tournament':{'name':'Duel','participantCount':2}}";
        QTest::addRow("English, every part") << "en" << QByteArray(fullMatch) << false;
        QTest::addRow("Persian, every part") << "fa" << QByteArray(fullMatch) << false;
        QTest::addRow("English, no badges or side") << "en" << duel << true;
        QTest::addRow("Persian, no badges or side") << "fa" << duel << true;
    }

    void contentFitsTheCard()
    {
        QFETCH(QString, lang);
        QFETCH(QByteArray, json);
        QFETCH(bool, fullGaps);
        data()->setLang(lang);
        data()->updateFromLiveGame(record(json));
        showAndWait();

        const QQuickItem *button = item(QStringLiteral("launchButton"));
        const qreal bottom = button->mapToScene(QPointF(0, button->height())).y();
        const QQuickItem *first = item(QStringLiteral("countdownBox"));
        const qreal gap =
            item(QStringLiteral("lobbyStatusBox"))->y() - (first->y() + first->height());
        qInfo("launch button ends at %g of %g, gaps %g", bottom, root()->height(), gap);
        QVERIFY(bottom <= root()->height() - 16);
        QVERIFY(gap >= 6);
        QCOMPARE(gap == 12, fullGaps);
        for (const char *name : {"instruction1", "instruction2", "instruction3"})
            QCOMPARE(item(QLatin1String(name))->property("lineCount").toInt(), 1);
    }

    void countdownText_data()
    {
        QTest::addColumn<qint64>("aheadMs");
        QTest::addColumn<QString>("expected");

        // Half a second on top, so that the few milliseconds between writing the time and reading
        // it do not take a second off.
        QTest::addRow("90 seconds") << qint64(90'500) << "1:30";
        QTest::addRow("125 minutes 7 seconds") << qint64((125 * 60 + 7) * 1000 + 500) << "125:07";
        QTest::addRow("9 seconds") << qint64(9'500) << "0:09";
        QTest::addRow("one hour") << qint64(3600 * 1000 + 500) << "60:00";
    }

    void countdownText()
    {
        QFETCH(qint64, aheadMs);
        QFETCH(QString, expected);
        QJsonObject match = record(fullMatch);
        match.insert(QStringLiteral("scheduledTime"), fromNow(aheadMs));
        data()->updateFromLiveGame(match);
        // Read at once: the page's own dataChanged handler has already seen the new time.
        QCOMPARE(text("countdownText"), expected);
        QVERIFY(item("countdownText")->isVisible());
        QCOMPARE(root()->property("isTimeUp").toBool(), false);
        QCOMPARE(text("headerTitle"), QStringLiteral("Upcoming Match"));
        QCOMPARE(text("countdownLabel"), QStringLiteral("Starts in"));
        QVERIFY(timerRunning());
    }

    void countsDownOncePerSecond()
    {
        QJsonObject match = record(fullMatch);
        match.insert(QStringLiteral("scheduledTime"), fromNow(90'500));
        data()->updateFromLiveGame(match);
        QCOMPARE(text("countdownText"), QStringLiteral("1:30"));
        QSignalSpy changes(item("countdownText"), SIGNAL(textChanged(QString)));
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(text("countdownText"), QStringLiteral("1:28"), 4000);
        // Two steps of one second each: not faster, and no value skipped. The timer may already
        // be running when the match arrives, so the first step comes within a second and the
        // second a second after it.
        QVERIFY2(clock.elapsed() >= 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(changes.count(), 2);
        QCOMPARE(changes.at(0).at(0).toString(), QStringLiteral("1:29"));
    }

    void reachingZeroStopsTheCountdown()
    {
        QJsonObject match = record(fullMatch);
        match.insert(QStringLiteral("scheduledTime"), fromNow(1'500));
        data()->updateFromLiveGame(match);
        QCOMPARE(text("countdownText"), QStringLiteral("0:01"));
        QObject *timer = root()->findChild<QObject *>(QStringLiteral("countdownTimer"));
        QTRY_VERIFY_WITH_TIMEOUT(root()->property("isTimeUp").toBool(), 3000);
        QCOMPARE(text("headerTitle"), QStringLiteral("Match Ready!"));
        QCOMPARE(text("countdownLabel"), QStringLiteral("Starting now!"));
        QVERIFY(!item("countdownText")->isVisible());
        QVERIFY(!timer->property("running").toBool());
        QCOMPARE(colour("countdownBox"), QColor::fromRgba(0x20ef4444));

        // A data change with a time ahead starts it again.
        match.insert(QStringLiteral("scheduledTime"), fromNow(90'500));
        data()->updateFromLiveGame(match);
        QVERIFY(timer->property("running").toBool());
        QCOMPARE(text("countdownText"), QStringLiteral("1:30"));
        QCOMPARE(text("headerTitle"), QStringLiteral("Upcoming Match"));
    }

    void timeUp_data()
    {
        QTest::addColumn<QString>("scheduledTime");
        QTest::addRow("empty") << "";
        QTest::addRow("in the past") << "2020-01-01T10:00:00.000Z";
        QTest::addRow("unreadable") << "next Tuesday-ish";
    }

    void timeUp()
    {
        QFETCH(QString, scheduledTime);
        // From a running countdown, so that each value is a real change.
        data()->updateFromLiveGame(record(fullMatch));
        QVERIFY(item("countdownText")->isVisible());

        QJsonObject match = record(fullMatch);
        match.insert(QStringLiteral("scheduledTime"), scheduledTime);
        data()->updateFromLiveGame(match);
        QCOMPARE(root()->property("isTimeUp").toBool(), true);
        QCOMPARE(root()->property("timeRemainingSeconds").toInt(), 0);
        QCOMPARE(text("headerTitle"), QStringLiteral("Match Ready!"));
        QCOMPARE(text("countdownLabel"), QStringLiteral("Starting now!"));
        QVERIFY(!item("countdownText")->isVisible());
        QVERIFY(!timerRunning());
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

        const QByteArray creating = "{'scheduledTime':'FUTURE','lobbyId':''}";
        const QByteArray ready = "{'scheduledTime':'FUTURE','lobbyId':'l-1','startedAt':null}";
        const QByteArray playing =
            "{'scheduledTime':'FUTURE','lobbyId':'l-1','startedAt':'2030-01-01T00:00:00Z'}";
        row("creating text", creating, "lobbyStatusText", "text",
            QVariant("Creating Lobby..."));
        row("creating colour", creating, "lobbyStatusText", "color",
            QVariant(QColor(0xf39c12)));
        row("ready text", ready, "lobbyStatusText", "text",
            QVariant("Lobby Ready"));
        row("ready colour", ready, "lobbyStatusText", "color",
            QVariant(QColor(0x3498db)));
        row("playing text", playing, "lobbyStatusText", "text",
            QVariant("Match In Progress"));
        row("playing colour", playing, "lobbyStatusText", "color",
            QVariant(QColor(0x27ae60)));

        const QByteArray bracket = "{'gameNumber':3,'tournament':{'name':'Winter Cup',"
                                   "'participantCount':8},'match':{'round':'2'}}";
        const QByteArray duel =
            "{'gameNumber':3,'tournament':{'name':'Winter Cup','participantCount':2}}";
        const QByteArray noCount = "{'gameNumber':3,'tournament':{'name':'Winter Cup'}}";
        const QByteArray single =
            "{'gameNumber':3,'tournament':{'name':'Winter Cup','participantCount':1}}";
        row("bracket: badges", bracket, "badgesRow", "visible",
            QVariant(true));
        row("bracket: round badge", bracket, "roundBadgeText", "text",
            QVariant("Semi-Finals"));
        row("bracket: game badge", bracket, "gameBadgeText", "text",
            QVariant("Game 3"));
        row("duel: no badges", duel, "badgesRow", "visible",
            QVariant(false));
        row("duel: no game badge", duel, "gameBadge", "visible",
            QVariant(false));
        row("no count: no badges", noCount, "badgesRow", "visible",
            QVariant(false));
        row("no label: badges", single, "badgesRow", "visible",
            QVariant(true));
        row("no label: no round badge", single, "roundBadge", "visible",
            QVariant(false));
        row("no label: game badge", single, "gameBadge", "visible",
            QVariant(true));

        row("no tournament name", "{'matchId':'m'}", "tournamentNameText", "text",
            QVariant("Unknown Tournament"));

        const QByteArray opponent =
            "{'opponent':{'name':'phoenix Rising','avatar':'https://cdn.test/a.png'}}";
        row("opponent", opponent, "opponentNameText", "text",
            QVariant("phoenix Rising"));
        row("opponent initial", opponent, "opponentInitial", "text",
            QVariant("P"));
        // MATHEMATICAL BOLD SMALL A, outside the 16-bit range: one letter, not half of one.
        row("initial beyond 16 bits", "{'opponent':{'name':'\xf0\x9d\x90\x9a team'}}",
            "opponentInitial", "text", QVariant(QString::fromUtf8("\xf0\x9d\x90\x9a")));
        row("no opponent", "{'matchId':'m'}", "opponentNameText", "text",
            QVariant("TBD"));
        row("radiant", "{'userSide':'RADIANT'}", "sideText", "text",
            QVariant("RADIANT"));
        row("radiant colour", "{'userSide':'RADIANT'}", "sideText", "color",
            QVariant(QColor(0x4ade80)));
        row("side shown", "{'userSide':'RADIANT'}", "sideBox", "visible",
            QVariant(true));
        row("dire colour", "{'userSide':'DIRE'}", "sideText", "color",
            QVariant(QColor(0xf87171)));
        row("no side", "{'userSide':''}", "sideBox", "visible",
            QVariant(false));

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
        const QVariant actual = property == "visible" ? QVariant(target->isVisible())
                                                      : target->property(property.constData());
        QCOMPARE(actual, expected);
    }

    // A status the data object never produces still gets a text and a colour.
    void unknownLobbyStatus()
    {
        data()->updateFromLiveGame(record(fullMatch));
        m_window->rootContext()->setContextProperty(QStringLiteral("lobbyStatus"),
                                                    QStringLiteral("archived"));
        QCOMPARE(text("lobbyStatusText"), QStringLiteral("Waiting..."));
        QCOMPARE(colour("lobbyStatusText"), QColor(0x95a5a6));
    }

    void hoverColours()
    {
        showAndWait();
        QCOMPARE(colour("launchButton"), QColor(0xf97316));
        QTest::mouseMove(m_window.get(), centreOf(QStringLiteral("launchButton")));
        QTRY_COMPARE(colour("launchButton"), QColor(0xea580c));
        QCOMPARE(item("launchArea")->property("cursorShape").toInt(), int(Qt::PointingHandCursor));
        QTest::mouseMove(m_window.get(), centreOf(QStringLiteral("toggleButton")));
        QTRY_COMPARE(colour("toggleButton"), QColor::fromRgba(0x40ffffff));
        QTRY_COMPARE(colour("launchButton"), QColor(0xf97316));
    }

    void launchButtonOpensSteamAndHides()
    {
        UrlCatcher catcher({QStringLiteral("steam")});
        data()->updateFromLiveGame(record(fullMatch));
        showAndWait();
        LogCapture log;
        click("launchButton");
        QCOMPARE(catcher.opened, QList<QUrl>({QUrl(QStringLiteral("steam://run/570"))}));
        QTRY_VERIFY(!m_window->isVisible());
        QCOMPARE(log.texts(), QStringList({QStringLiteral("LiveMatchWindow hidden")}));
    }

    // Every text of the card follows the language, both ways; the round label too, although
    // it is built in C++ from a record that arrived before the change.
    void persianTexts_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("persian");
        const QByteArray ahead = "{'scheduledTime':'FUTURE','lobbyId':'','gameNumber':4,"
                                 "'tournament':{'participantCount':8},'match':{'round':'2'}}";
        const QByteArray timeUp = "{'scheduledTime':'','lobbyId':''}";
        QTest::addRow("creating") << ahead << "lobbyStatusText" << "Creating Lobby..."
                                  << QString::fromUtf8("در حال ساخت لابی...");
        QTest::addRow("starting now") << timeUp << "countdownLabel" << "Starting now!"
                                      << QString::fromUtf8("الان شروع می\u200cشود!");
        QTest::addRow("game badge") << ahead << "gameBadgeText" << "Game 4"
                                    << QString::fromUtf8("گیم 4");
        QTest::addRow("round badge") << ahead << "roundBadgeText" << "Semi-Finals"
                                     << QString::fromUtf8("نیمه\u200cنهایی");
        QTest::addRow("no opponent") << ahead << "opponentNameText" << "TBD"
                                     << QString::fromUtf8("مشخص نشده");
    }

    void persianTexts()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, objectName);
        QFETCH(QString, english);
        QFETCH(QString, persian);
        data()->updateFromLiveGame(record(json));
        compareCodePoints(text(objectName), english);
        if (QTest::currentTestFailed())
            return;
        data()->setLang(QStringLiteral("fa"));
        compareCodePoints(text(objectName), persian);
        if (QTest::currentTestFailed())
            return;
        data()->setLang(QStringLiteral("en"));
        compareCodePoints(text(objectName), english);
    }

    // Persian mirrors the card: the toggle moves to the left end of the header and texts align to
    // the right.
    void persianMirrorsTheLayout_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("toggleOnTheRight");
        QTest::addColumn<int>("alignment");
        QTest::addRow("English") << "en" << true << int(Qt::AlignLeft);
        QTest::addRow("Persian") << "fa" << false << int(Qt::AlignRight);
    }

    void persianMirrorsTheLayout()
    {
        QFETCH(QString, lang);
        QFETCH(bool, toggleOnTheRight);
        QFETCH(int, alignment);
        data()->setLang(lang);
        data()->updateFromLiveGame(record(fullMatch));
        const int toggle = centreOf(QStringLiteral("toggleButton")).x();
        QCOMPARE(toggle > centreOf(QStringLiteral("headerTitle")).x(), toggleOnTheRight);
        for (const char *name : {"countdownLabel", "instruction1", "tournamentNameText"})
            QCOMPARE(item(QLatin1String(name))->property("effectiveHorizontalAlignment").toInt(),
                     alignment);
    }

    // Pictures of the card as it looks on the desktop, for people to look at; they also check
    // that the launch button's orange really reaches the screen. Written to the folder in
    // CORVANTA_SCREENSHOT_DIR, else to the temporary directory.
    void screenshots_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("expanded");
        QTest::addRow("en-expanded") << "en" << true;
        QTest::addRow("fa-collapsed") << "fa" << false;
    }

    void screenshots()
    {
        QFETCH(QString, lang);
        QFETCH(bool, expanded);
        data()->setLang(lang);
        QJsonObject match = record(fullMatch);
        match.insert(QStringLiteral("scheduledTime"), fromNow((12 * 60 + 34) * 1000 + 500));
        if (lang == QLatin1String("fa"))
            match.insert(QStringLiteral("tournament"),
                         QJsonObject{{"name", QString::fromUtf8("جام زمستانی تهران")},
                                     {"participantCount", 8}});
        data()->updateFromLiveGame(match);
        showAndWait();
        if (!expanded) {
            click("toggleButton");
            QTRY_COMPARE(m_window->geometry(), QRect(1516, 980, 380, 50));
            // Off the toggle again, so that the picture shows it at rest rather than hovered.
            QTest::mouseMove(m_window.get(), QPoint(190, 25));
            QTRY_COMPARE(colour("toggleButton"), QColor(Qt::transparent));
        }
        QTRY_COMPARE(serverGeometry(m_window->winId()), m_window->geometry());
        QTest::qWait(300); // a few frames, so the grab shows the finished picture

        const QRect area = m_window->geometry().adjusted(-12, -12, 12, 12);
        const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage().copy(area);
        const QString folder = qEnvironmentVariableIsSet("CORVANTA_SCREENSHOT_DIR")
            ? qEnvironmentVariable("CORVANTA_SCREENSHOT_DIR")
            : QDir::tempPath();
        const QString file = QDir(folder).filePath(
            QStringLiteral("widget-%1.png").arg(QLatin1String(QTest::currentDataTag())));
        QVERIFY(shot.save(file));
        qInfo("screenshot: %s", qPrintable(file));

        // The header's red below its title, and the button's orange above its label (the
        // picture starts 12 px before the window).
        QVERIFY(QColor(shot.pixel(12 + 190, 12 + 44)).red() > 180);
        if (expanded) {
            const QPoint button = centreOf(QStringLiteral("launchButton")) + QPoint(12, 12 - 18);
            QCOMPARE(QColor(shot.pixel(button)), QColor(0xf97316));
        }
    }
};

QTEST_MAIN(TestLiveMatchWindow)
#include "tst_livematchwindow.moc"
