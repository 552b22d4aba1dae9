#include "MatchDriver.h"

#include "FakeGame.h"
#include "PlatformSimulator.h"
#include "SyntheticScreen.h"

#include <QDebug>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QScreen>
#include <QThread>

namespace {

constexpr int seatCount = SyntheticScreen::SlotCount;

QRect toQRect(const cv::Rect &rect)
{
    return QRect(rect.x, rect.y, rect.width, rect.height);
}

bool answeredOk(const QJsonDocument &answer, const char *what)
{
    if (answer.object().value(QLatin1String("ok")).toBool())
        return true;
    qWarning().noquote() << "the platform simulator refused" << what << ":"
                         << answer.toJson(QJsonDocument::Compact);
    return false;
}

QStringList stringsOf(const QJsonValue &value)
{
    QStringList strings;
    for (const QJsonValue &element : value.toArray())
        strings << element.toString();
    return strings;
}

} // namespace

MatchDriver::MatchDriver(PlatformSimulator *simulator, FakeGame *game)
    : m_simulator(simulator)
    , m_game(game)
    , m_seats(seatCount)
{
}

QString MatchDriver::teamOf(int index)
{
    return index < seatCount / 2 ? QStringLiteral("Radiant") : QStringLiteral("Dire");
}

bool MatchDriver::announce(const Setup &setup)
{
    m_setup = setup;
    m_playerSlot = -1;
    m_seats = QStringList(seatCount);
    const QJsonObject request{{QStringLiteral("email"), setup.email},
                              {QStringLiteral("side"), setup.side},
                              {QStringLiteral("captain"), setup.captain},
                              {QStringLiteral("startsInSeconds"), setup.startsInSeconds},
                              {QStringLiteral("announce"), setup.announce}};
    const QJsonDocument answer =
        m_simulator->control("POST", QStringLiteral("/__control/match"), QJsonDocument(request));
    if (!answeredOk(answer, "the match"))
        return false;
    m_match = answer.object().value(QLatin1String("match")).toObject();
    m_userId = answer.object().value(QLatin1String("userId")).toString();
    return true;
}

bool MatchDriver::openGame(const QStringList &extraArguments)
{
    const QRect window = m_setup.window;
    QStringList arguments{QStringLiteral("--interface-scale"), QString::number(m_setup.interfaceScale)};
    if (window.isEmpty() || m_setup.fullScreen)
        arguments << QStringLiteral("--fullscreen");
    if (!window.isEmpty())
        arguments << QStringLiteral("--geometry")
                  << QStringLiteral("%1x%2+%3+%4")
                         .arg(window.width())
                         .arg(window.height())
                         .arg(window.x())
                         .arg(window.y());
    if (!m_game->start(arguments + extraArguments))
        return false;
    const QScreen *primary = QGuiApplication::primaryScreen();
    m_gameArea = !window.isEmpty() ? window : primary ? primary->geometry() : QRect();
    return m_game->command(QStringLiteral("screen background")) == QLatin1String("ok");
}



bool MatchDriver::invite()
{
    return m_game->command(QStringLiteral("screen invitation")) == QLatin1String("ok");
}

bool MatchDriver::waitForAccept(int timeoutMs)
{
    return m_game->waitForReport(QStringLiteral("accepted"), timeoutMs) == QLatin1String("accepted");
}

int MatchDriver::waitForSlot(int timeoutMs)
{
    const QString report = m_game->waitForReport(QStringLiteral("slot "), timeoutMs);
    bool valid = false;
    const int index = report.mid(5).toInt(&valid);
    if (!valid || index < 0 || index >= seatCount)
        return -1;
    if (m_playerSlot >= 0)
        m_seats[m_playerSlot].clear();
    m_seats[index] = m_userId;
    m_playerSlot = index;
    return sendOccupiedSlots() ? index : -1;
}

// The captain sits in his side's first slot; the others fill the rest in the order the platform
// lists them.
QString MatchDriver::nextUserFor(int index) const
{
    const bool ownSide = teamOf(index) == m_setup.side;
    const QJsonObject participant =
        m_match.value(ownSide ? QLatin1String("participant1") : QLatin1String("participant2"))
            .toObject();
    const QStringList captains = stringsOf(participant.value(QLatin1String("captainUserIds")));
    QStringList users = stringsOf(participant.value(QLatin1String("userIds")));
    if (index % (seatCount / 2) != 0) {
        for (const QString &captain : captains)
            users.removeAll(captain);
    }
    for (const QString &user : users) {
        if (!m_seats.contains(user))
            return user;
    }
    return QStringLiteral("u-guest-%1").arg(index);
}

bool MatchDriver::fillLobby(int intervalMs, int occupied)
{
    for (int index = 0; index < seatCount; ++index) {
        if (!m_seats[index].isEmpty())
            continue;
        if (seatCount - int(m_seats.count(QString())) >= occupied)
            break;
        m_seats[index] = nextUserFor(index);
        QString digits(seatCount, QLatin1Char('0'));
        digits[index] = QLatin1Char('1');
        if (m_game->command(QStringLiteral("occupy ") + digits) != QLatin1String("ok")
            || !sendOccupiedSlots())
            return false;
        QThread::msleep(static_cast<unsigned long>(intervalMs));
    }
    return true;
}

bool MatchDriver::sendOccupiedSlots()
{
    QJsonArray slotList;
    for (int index = 0; index < seatCount; ++index) {
        if (m_seats[index].isEmpty())
            continue;
        slotList.append(QJsonObject{{QStringLiteral("userId"), m_seats[index]},
                                    {QStringLiteral("team"), teamOf(index)},
                                    {QStringLiteral("slotNumber"), index % (seatCount / 2) + 1}});
    }
    return answeredOk(m_simulator->control("PUT", QStringLiteral("/__control/match/occupied-slots"),
                                           QJsonDocument(slotList)),
                      "the occupied slots");
}

bool MatchDriver::startMatch()
{
    return m_game->command(QStringLiteral("start")) == QLatin1String("ok")
        && answeredOk(m_simulator->control("POST", QStringLiteral("/__control/match/start")),
                      "the start");
}

bool MatchDriver::completeMatch()
{
    return answeredOk(m_simulator->control("POST", QStringLiteral("/__control/match/complete")),
                      "the end of the match");
}

void MatchDriver::closeGame()
{
    m_game->quit();
}

QList<int> MatchDriver::slotsToTake() const
{
    const int first = m_setup.side.compare(QLatin1String("radiant"), Qt::CaseInsensitive) == 0
        ? 0
        : seatCount / 2;
    if (m_setup.captain)
        return {first};
    return {first + 1, first + 2, first + 3, first + 4};
}

SyntheticScreen MatchDriver::gameScreen() const
{
    SyntheticScreen drawn(cv::Size(m_gameArea.width(), m_gameArea.height()));
    drawn.setScale(m_setup.interfaceScale);
    return drawn;
}

QRect MatchDriver::slotRect(int index) const
{
    if (m_gameArea.isEmpty() || index < 0 || index >= seatCount)
        return QRect();
    return toQRect(gameScreen().slotRects()[size_t(index)]).translated(m_gameArea.topLeft());
}

QRect MatchDriver::acceptRect() const
{
    if (m_gameArea.isEmpty())
        return QRect();
    return toQRect(gameScreen().acceptRect()).translated(m_gameArea.topLeft());
}
