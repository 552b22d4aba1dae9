// The live-match widget's data from the platform's live-game record:
// MatchWidgetData::updateFromLiveGame, round labels included, in English and in Persian.
//
// Input: JSON text. An object is the record as the widget gets it; an object holding "liveGame"
// is the live-game answer, and its "liveGame" member is the record.

#include "FuzzSupport.h"
#include "MatchWidgetData.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <tuple>

namespace {

auto shown(const MatchWidgetData &data)
{
    return std::make_tuple(data.hasMatch(), data.matchId(), data.gameNumber(),
                           data.scheduledTime(), data.isStarted(), data.lobbyStatus(),
                           data.tournamentName(), data.roundLabel(), data.isCompetition(),
                           data.opponentName(), data.opponentAvatar(), data.userSide(),
                           data.lang());
}

// The simulator's live game: a record different in every member the widget shows.
QJsonObject otherRecord()
{
    return QJsonDocument::fromJson(R"({"matchId": "m-other", "gameNumber": 3,
        "scheduledTime": "2026-12-06T20:00:00.000Z", "startedAt": "2026-12-06T20:01:00.000Z",
        "lobbyId": "lobby-1", "userSide": "Dire", "opponent": {"name": "Night Owls", "avatar": "a"},
        "tournament": {"id": "t-demo-cup", "name": "Corvanta Demo Cup", "participantCount": 8,
                       "type": "DOUBLE_ELIMINATION"},
        "match": {"round": "2", "bracket": "LB"}})")
        .object();
}

void checkRecord(const QJsonObject &record, const QString &lang)
{
    MatchWidgetData data;
    data.setLang(lang);
    data.updateFromLiveGame(record);
    FUZZ_EXPECT(data.hasMatch() == !record.isEmpty());
    FUZZ_EXPECT(data.lang() == lang);
    const QString &status = data.lobbyStatus();
    FUZZ_EXPECT(status == QLatin1String("creating") || status == QLatin1String("ready")
                || status == QLatin1String("playing"));
    const int participants = record.value(QLatin1String("tournament"))
                                 .toObject()
                                 .value(QLatin1String("participantCount"))
                                 .toInt(2);
    if (participants <= 2)
        FUZZ_EXPECT(data.roundLabel().isEmpty());

    // What the widget shows depends on the record alone, not on the one it showed before.
    const auto first = shown(data);
    data.updateFromLiveGame(otherRecord());
    data.updateFromLiveGame(record);
    FUZZ_EXPECT(shown(data) == first);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QJsonObject answer =
        QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)))
            .object();
    const QJsonObject record = answer.contains(QLatin1String("liveGame"))
        ? answer.value(QLatin1String("liveGame")).toObject()
        : answer;
    checkRecord(record, QStringLiteral("en"));
    checkRecord(record, QStringLiteral("fa"));
    return 0;
}
