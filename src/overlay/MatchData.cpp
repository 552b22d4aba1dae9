#include "MatchData.h"

bool MatchData::isValid() const
{
    return !matchId.isEmpty() && !userSide.isEmpty() && receivedAt.isValid();
}

bool MatchData::isExpired(int maxAgeMinutes, const QDateTime &now) const
{
    if (!receivedAt.isValid())
        return true;
    const qint64 wholeMinutes = receivedAt.secsTo(now) / 60; // truncates toward zero
    return wholeMinutes > maxAgeMinutes;
}

bool isSameSide(const QString &a, const QString &b)
{
    return a.toLower() == b.toLower();
}
