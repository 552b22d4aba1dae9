// corvanta-match-driver: plays one match on a running platform simulator and the fake game. See
// README.md.
#include "FakeGame.h"
#include "MatchDriver.h"
#include "PlatformSimulator.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTextStream>
#include <QThread>

#include <memory>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

void say(const QString &line)
{
    out() << line << Qt::endl;
}

// The robot player of the demo without a display: it waits for the launcher to show each step
// in its log, takes a screenshot, and clicks where the overlay points.
class Robot
{
public:
    Robot(const QString &logPath, const QString &shotFolder)
        : m_logPath(logPath)
        , m_shots(shotFolder)
    {
    }

    // Waits for a log line with exactly this message.
    bool waitForLog(const QString &message, int timeoutMs = 30000)
    {
        const QByteArray wanted = '"' + message.toUtf8() + '"';
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            QFile log(m_logPath);
            if (log.open(QIODevice::ReadOnly)) {
                const QList<QByteArray> lines = log.readAll().split('\n');
                for (const QByteArray &line : lines) {
                    if (line.trimmed().endsWith(wanted))
                        return true;
                }
            }
            QThread::msleep(100);
        }
        say(QStringLiteral("the launcher did not log \"%1\"; see %2").arg(message, m_logPath));
        return false;
    }

    void shoot(const QString &name)
    {
        // The overlay fades its pictures in; let them settle first.
        QThread::msleep(900);
        const QString path = QDir(m_shots).filePath(name);
        QGuiApplication::primaryScreen()->grabWindow(0).save(path);
        say(QStringLiteral("  %1").arg(path));
    }

    static bool click(const QPoint &point)
    {
        return QProcess::execute(QStringLiteral("xdotool"),
                                 {QStringLiteral("mousemove"), QString::number(point.x()),
                                  QString::number(point.y()), QStringLiteral("click"),
                                  QStringLiteral("1")})
            == 0;
    }

private:
    QString m_logPath;
    QString m_shots;
};

QString transition(int from, int to)
{
    return QStringLiteral("State transition: %1 -> %2").arg(from).arg(to);
}

int playMatch(MatchDriver &driver, const MatchDriver::Setup &setup, Robot *robot)
{
    const int waitForPlayerMs = robot ? 30000 : 600000;
    if (!driver.announce(setup))
        return 1;
    say(QStringLiteral("The platform announced a match starting in %1 seconds.")
            .arg(setup.startsInSeconds));
    if (robot) {
        if (!robot->waitForLog(QStringLiteral("LiveMatchWindow shown")))
            return 1;
        robot->shoot(QStringLiteral("1-widget.png"));
    } else {
        QThread::sleep(4);
    }

    say(QStringLiteral("The game starts."));
    if (!driver.openGame())
        return 1;
    if (robot && !robot->waitForLog(transition(0, 2)))
        return 1;
    QThread::sleep(2);
    if (!driver.invite())
        return 1;
    say(QStringLiteral("The lobby invitation is on screen: click ACCEPT where the hand points."));
    if (robot) {
        if (!robot->waitForLog(transition(2, 3)))
            return 1;
        robot->shoot(QStringLiteral("2-accept.png"));
        Robot::click(driver.acceptRect().center());
    }
    if (!driver.waitForAccept(waitForPlayerMs))
        return 1;

    say(QStringLiteral("You are in the lobby: take a slot inside the box."));
    const QList<int> yours = driver.slotsToTake();
    if (robot) {
        if (!robot->waitForLog(transition(3, 4)))
            return 1;
        robot->shoot(QStringLiteral("3-slots.png"));
        Robot::click(driver.slotRect(yours.constFirst()).center());
    }
    for (;;) {
        const int slot = driver.waitForSlot(waitForPlayerMs);
        if (slot < 0)
            return 1;
        if (yours.contains(slot))
            break;
        say(QStringLiteral("That slot is not yours: take one inside the box."));
    }

    say(QStringLiteral("The other nine players arrive."));
    if (robot && !robot->waitForLog(transition(4, 5)))
        return 1;
    if (!driver.fillLobby(400, 7))
        return 1;
    if (robot)
        robot->shoot(QStringLiteral("4-players.png"));
    if (!driver.fillLobby(400))
        return 1;
    if (robot && !robot->waitForLog(transition(5, 6)))
        return 1;
    QThread::sleep(2);

    say(QStringLiteral("The match begins."));
    if (!driver.startMatch())
        return 1;
    if (robot) {
        if (!robot->waitForLog(transition(6, 7)))
            return 1;
        robot->shoot(QStringLiteral("5-in-game.png"));
    }
    QThread::sleep(4);

    say(QStringLiteral("The match is over."));
    if (!driver.completeMatch())
        return 1;
    if (robot) {
        if (!robot->waitForLog(transition(7, 0)))
            return 1;
        robot->shoot(QStringLiteral("6-idle.png"));
    }
    QThread::sleep(2);
    driver.closeGame();
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays one match on a running platform simulator and the fake game."));
    parser.addHelpOption();
    const QCommandLineOption simulatorOption(QStringLiteral("simulator"),
                                             QStringLiteral("The simulator's address."),
                                             QStringLiteral("url"));
    const QCommandLineOption emailOption(QStringLiteral("email"),
                                         QStringLiteral("The demo account that plays."),
                                         QStringLiteral("e-mail"),
                                         QStringLiteral("player@corvanta.test"));
    const QCommandLineOption sideOption(QStringLiteral("side"),
                                        QStringLiteral("Radiant (default) or Dire."),
                                        QStringLiteral("side"), QStringLiteral("Radiant"));
    const QCommandLineOption captainOption(QStringLiteral("captain"),
                                           QStringLiteral("The player is his side's captain."));
    const QCommandLineOption autoplayOption(
        QStringLiteral("autoplay"),
        QStringLiteral("Play the player too, following the launcher's log; screenshots go into "
                       "the folder."),
        QStringLiteral("launcher-log>,<folder"));
    parser.addOptions({simulatorOption, emailOption, sideOption, captainOption, autoplayOption});
    parser.process(app);
    if (!parser.isSet(simulatorOption)) {
        say(QStringLiteral("--simulator is needed"));
        return 2;
    }
    MatchDriver::Setup setup;
    setup.email = parser.value(emailOption);
    setup.side = parser.value(sideOption);
    setup.captain = parser.isSet(captainOption);

    PlatformSimulator simulator;
    simulator.attach(parser.value(simulatorOption));
    FakeGame game;
    MatchDriver driver(&simulator, &game);

    std::unique_ptr<Robot> robot;
    if (parser.isSet(autoplayOption)) {
        const QStringList paths = parser.value(autoplayOption).split(QLatin1Char(','));
        if (paths.size() != 2) {
            say(QStringLiteral("--autoplay needs <launcher log>,<screenshot folder>"));
            return 2;
        }
        robot = std::make_unique<Robot>(paths.at(0), paths.at(1));
    }
    return playMatch(driver, setup, robot.get());
}
