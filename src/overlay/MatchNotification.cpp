#include "MatchNotification.h"

#include "Log.h"

#include <QJsonArray>
#include <QStringList>

namespace {

// An unknown user (no id yet) is in no list, not even one holding an empty or non-string entry.
bool listsUser(const QJsonObject &participant, const QString &key, const QString &userId)
{
    if (userId.isEmpty())
        return false;
    const QJsonArray ids = participant.value(key).toArray();
    for (const QJsonValue &id : ids) {
        if (id.toString() == userId)
            return true;
    }
    return false;
}

} // namespace

QJsonObject parseMatchNotification(const QJsonObject &payload, const QString &userId)
{
    const QJsonObject first = payload.value(QLatin1String("participant1")).toObject();
    const QJsonObject second = payload.value(QLatin1String("participant2")).toObject();
    const QString userIds = QStringLiteral("userIds");

    bool isFirst = false;
    if (listsUser(first, userIds, userId)) {
        isFirst = true;
    } else if (!listsUser(second, userIds, userId)) {
        logWarn(QStringLiteral("Current user not found in match participants"));
        return QJsonObject();
    }
    const QJsonObject &own = isFirst ? first : second;
    const QJsonObject &opponent = isFirst ? second : first;

    QJsonObject match;
    const auto copy = [&](const QString &from, const QString &to) {
        if (payload.contains(from))
            match.insert(to, payload.value(from));
    };
    copy(QStringLiteral("matchGameId"), QStringLiteral("id"));
    for (const QString &key :
         {QStringLiteral("matchId"), QStringLiteral("gameNumber"), QStringLiteral("scheduledTime"),
          QStringLiteral("startedAt"), QStringLiteral("lobbyId"), QStringLiteral("occupiedSlots"),
          QStringLiteral("isCompetition")})
        copy(key, key);
    match.insert(QStringLiteral("isCaptain"), listsUser(own, QStringLiteral("captainUserIds"), userId));
    const QString sideKey = isFirst ? QStringLiteral("participant1Side")
                                    : QStringLiteral("participant2Side");
    match.insert(QStringLiteral("userSide"), payload.value(sideKey).toString());
    copy(QStringLiteral("tournament"), QStringLiteral("tournament"));
    copy(QStringLiteral("match"), QStringLiteral("match"));
    match.insert(QStringLiteral("opponent"),
                 QJsonObject{{QStringLiteral("name"), opponent.value(QLatin1String("name")).toString()},
                             {QStringLiteral("avatar"),
                              opponent.value(QLatin1String("avatar")).toString()}});
    return match;
}
