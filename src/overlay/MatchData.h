#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// The match the overlay is guiding the player through.
struct MatchData
{
    QString matchId;
    QString userSide;   // the side the user is assigned to, as the platform writes it
    QString playerSide; // the side the player sits on, as last reported
    int slotNumber = -1; // 0-based slot within playerSide; -1 while unknown
    bool isCaptain = false;
    QString lobbyName;
    QString language = QStringLiteral("en");
    QDateTime receivedAt; // made on this machine; drives validity and expiry
    bool isJoinedLobby = false;

    bool isValid() const;
    // True once more than maxAgeMinutes whole minutes have passed since receivedAt, or when
    // receivedAt is not set. `now` is the clock; tests pass their own.
    bool isExpired(int maxAgeMinutes,
                   const QDateTime &now = QDateTime::currentDateTime()) const;
};

// Sides compare without regard to case: "RADIANT" and "radiant" are the same side.
bool isSameSide(const QString &a, const QString &b);

Q_DECLARE_METATYPE(MatchData)
