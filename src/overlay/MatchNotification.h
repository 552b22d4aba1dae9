#pragma once

#include <QJsonObject>
#include <QString>

// A socket match payload (a notification's metadata, or a "match:updated" event's data) in the
// shape of the live-game answer, seen from the user `userId`: his side, whether he captains it,
// and the other participant as the opponent. Members absent from the payload stay absent.
// Empty, after a warning, when the user is in neither participant.
QJsonObject parseMatchNotification(const QJsonObject &payload, const QString &userId);
