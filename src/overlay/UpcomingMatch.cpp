// The player's next match from the platform: the live-game answer and converted socket payloads
// arrive at handleUpcomingMatch, which keeps the match waiting for the game window, shows it in the
// live-match widget from three minutes before its start, switches to a newer match and follows
// the server's record of the player's lobby slot.
#include "OverlayController.h"

#include "ApiClient.h"
#include "GuidanceRenderer.h"
#include "LiveMatchWindow.h"
#include "Log.h"
#include "MatchWidgetData.h"
#include "OverlayWindow.h"
#include "PlatformBridge.h"
#include "WebSocketClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QRegularExpression>

namespace {

// The platform's match records may carry a lobby password or a token; the log shows their keys,
// never their values.
QJsonValue redacted(const QJsonValue &value)
{
    static const QRegularExpression secretKey(QStringLiteral("password|token|secret"),
                                              QRegularExpression::CaseInsensitiveOption);
    if (value.isArray()) {
        QJsonArray array;
        for (const QJsonValue &item : value.toArray())
            array.append(redacted(item));
        return array;
    }
    if (!value.isObject())
        return value;
    QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it)
        it.value() = secretKey.match(it.key()).hasMatch() ? QJsonValue(QStringLiteral("***"))
                                                          : redacted(it.value());
    return object;
}

} // namespace

void OverlayController::fetchUpcomingMatch()
{
    // A reply may arrive after the controller is gone: the REST client outlives it.
    QPointer<OverlayController> self(this);
    const quint64 pushesBefore = m_matchPushes;
    m_api->getLiveGame(
        [self, pushesBefore](const QJsonObject &response) {
            if (!self)
                return;
            // The answer may have been written before the event: a match announced just after
            // the request must not be wiped by the older "no match".
            if (self->m_matchPushes != pushesBefore) {
                logDebug(QStringLiteral("Live-game answer older than a socket event, ignored"));
                return;
            }
            self->handleUpcomingMatch(response);
        },
        [](const QString &error) { logDebug(QStringLiteral("No upcoming match: %1").arg(error)); });
}

void OverlayController::forgetUpcomingMatch()
{
    MatchWidgetData *widget = m_liveMatchWindow->matchWidgetData();
    widget->clear();
    m_liveMatchWindow->hideWidget();
    m_pendingMatch = QJsonObject();
    m_userInLobby = false;
}

// A match further away than the widget's lead is neither kept nor shown yet. A start time that is
// missing or unreadable does not hold it back.
bool OverlayController::holdsBackForStartTime(const QJsonObject &match) const
{
    const QString scheduled = match.value(QLatin1String("scheduledTime")).toString();
    if (scheduled.isEmpty())
        return false;
    const QDateTime start = QDateTime::fromString(scheduled, Qt::ISODateWithMs);
    if (!start.isValid())
        return false;
    const qint64 seconds = now().secsTo(start);
    if (seconds <= WidgetLeadSeconds)
        return false;
    logDebug(QStringLiteral("Match %1 starts in %2 seconds, not showing widget yet")
                 .arg(match.value(QLatin1String("matchId")).toString())
                 .arg(seconds));
    return true;
}

void OverlayController::switchToMatch(const QString &newId, const QString &currentId)
{
    logInfo(QStringLiteral("New match %1 arrived while handling %2 - switching to new match")
                .arg(newId, currentId));
    m_matchData.reset();
    m_userInLobby = false;
    resetPlayerCount();
    GuidanceRenderer *guidance = m_overlayWindow->guidanceRenderer();
    guidance->hidePointer();
    guidance->clearBoundingBox();
    m_results = DetectionResults();
    setState(IDLE);
}

// The server's list of taken slots names the player's slot (1-based within his side), or no
// longer names him once he left it.
void OverlayController::followServerSlot(const QJsonObject &match)
{
    const QJsonArray taken = match.value(QLatin1String("occupiedSlots")).toArray();
    for (const QJsonValue &value : taken) {
        const QJsonObject slot = value.toObject();
        if (slot.value(QLatin1String("userId")).toString() != m_userId)
            continue;
        const int slotNumber = slot.value(QLatin1String("slotNumber")).toInt(-1);
        const QString team = slot.value(QLatin1String("team")).toString();
        if (slotNumber >= 0 && m_matchData->slotNumber != slotNumber - 1) {
            logInfo(QStringLiteral("Server confirmed user in slot %1 (0-based: %2) on %3")
                        .arg(slotNumber)
                        .arg(slotNumber - 1)
                        .arg(team));
            m_matchData->slotNumber = slotNumber - 1;
            m_matchData->playerSide = team;
        }
        return;
    }
    if (m_matchData->slotNumber < 0)
        return;
    logInfo(QStringLiteral("User left slot, transitioning back to JOINING_SLOT"));
    m_matchData->slotNumber = -1;
    if (m_state == WAITING_FOR_PLAYERS)
        setState(JOINING_SLOT);
}

void OverlayController::handleUpcomingMatch(QJsonObject matchData)
{
    logDebug(QStringLiteral("handleUpcomingMatch matchData: %1")
                 .arg(QString::fromUtf8(QJsonDocument(redacted(matchData).toObject())
                                            .toJson(QJsonDocument::Compact))));
    const QJsonObject match = matchData.contains(QLatin1String("liveGame"))
        ? matchData.value(QLatin1String("liveGame")).toObject()
        : matchData;

    if (match.isEmpty()) {
        forgetUpcomingMatch();
        m_socket->unsubscribeFromTournament(QString());
        return;
    }
    const QJsonValue startedAt = match.value(QLatin1String("startedAt"));
    if (!startedAt.isUndefined() && !startedAt.isNull()) {
        // The tournament stays subscribed: its next match follows.
        forgetUpcomingMatch();
        return;
    }
    const QString tournamentId =
        match.value(QLatin1String("tournament")).toObject().value(QLatin1String("id")).toString();
    if (!tournamentId.isEmpty())
        m_socket->subscribeToTournament(tournamentId);
    if (holdsBackForStartTime(match))
        return;

    const QString newId = match.value(QLatin1String("matchId")).toString();
    QString currentId = m_pendingMatch.value(QLatin1String("matchId")).toString();
    if (currentId.isEmpty() && m_matchData)
        currentId = m_matchData->matchId;
    if (m_state != IDLE && !newId.isEmpty() && newId != currentId)
        switchToMatch(newId, currentId);

    m_pendingMatch = match;

    if (m_state != IDLE) {
        if (m_matchData && !m_userId.isEmpty())
            followServerSlot(match);
        logDebug(QStringLiteral("Overlay active, not showing widget"));
        return;
    }
    if (m_bridge->isDota2WindowVisible()) {
        logDebug(QStringLiteral("Dota 2 visible, processIdle will handle transition"));
        return;
    }
    m_liveMatchWindow->matchWidgetData()->updateFromLiveGame(match);
    m_liveMatchWindow->showWidget();
}
