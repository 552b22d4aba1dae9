#include "MatchWidgetData.h"

#include <cmath>

namespace {

// The widget's round labels, English and Persian. The Persian semi-final and quarter-final
// words carry a ZERO WIDTH NON-JOINER (U+200C) inside their first word.
struct RoundTexts
{
    QString grandFinals;
    QString upperFinals;
    QString upperSemiFinals;
    QString lowerFinals;
    QString lowerSemiFinals;
    QString finals;
    QString semiFinals;
    QString quarterFinals;
    QString round;
};

const RoundTexts &textsFor(const QString &lang)
{
    static const RoundTexts english{
        QStringLiteral("Grand Finals"), QStringLiteral("Upper Finals"),
        QStringLiteral("Upper Semi-Finals"), QStringLiteral("Lower Finals"),
        QStringLiteral("Lower Semi-Finals"), QStringLiteral("Finals"),
        QStringLiteral("Semi-Finals"), QStringLiteral("Quarter-Finals"), QStringLiteral("Round")};
    static const RoundTexts persian{
        QString::fromUtf8("فینال بزرگ"), QString::fromUtf8("فینال بالا"),
        QString::fromUtf8("نیمه\u200cنهایی بالا"), QString::fromUtf8("فینال پایین"),
        QString::fromUtf8("نیمه\u200cنهایی پایین"), QString::fromUtf8("فینال"),
        QString::fromUtf8("نیمه\u200cنهایی"), QString::fromUtf8("یک\u200cچهارم نهایی"),
        QString::fromUtf8("راند")};
    return lang == QLatin1String("fa") ? persian : english;
}

QString stringMember(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

} // namespace

MatchWidgetData::MatchWidgetData(QObject *parent)
    : QObject(parent)
{
}

void MatchWidgetData::setLang(const QString &lang)
{
    m_lang = lang;
    if (m_hasMatch)
        updateRoundLabel();
    emit dataChanged();
}

void MatchWidgetData::reset()
{
    m_hasMatch = false;
    m_matchId.clear();
    m_gameNumber = 1;
    m_scheduledTime.clear();
    m_isStarted = false;
    m_lobbyStatus = QStringLiteral("creating");
    m_tournamentName.clear();
    m_roundLabel.clear();
    m_round = 0;
    m_bracket.clear();
    m_tournamentType.clear();
    m_participantCount = 2;
    m_isCompetition = false;
    m_opponentName.clear();
    m_opponentAvatar.clear();
    m_userSide.clear();
}

void MatchWidgetData::clear()
{
    reset();
    emit dataChanged();
}

void MatchWidgetData::updateFromLiveGame(const QJsonObject &match)
{
    if (match.isEmpty()) {
        clear();
        return;
    }
    m_hasMatch = true;
    m_matchId = stringMember(match, "matchId");
    m_gameNumber = match.value(QLatin1String("gameNumber")).toInt(1);
    m_scheduledTime = stringMember(match, "scheduledTime");
    // JSON null before the start; a record without the member counts as started here.
    m_isStarted = !match.value(QLatin1String("startedAt")).isNull();

    const QString lobbyId = stringMember(match, "lobbyId");
    m_lobbyStatus = lobbyId.isEmpty() ? QStringLiteral("creating")
        : m_isStarted                 ? QStringLiteral("playing")
                                      : QStringLiteral("ready");

    const QJsonObject tournament = match.value(QLatin1String("tournament")).toObject();
    m_tournamentName = stringMember(tournament, "name");
    const int participants = tournament.value(QLatin1String("participantCount")).toInt(2);
    m_isCompetition = participants == 2;

    const QJsonObject details = match.value(QLatin1String("match")).toObject();
    // The round comes as text; a number or anything else reads as round 0.
    m_round = stringMember(details, "round").toInt();
    m_bracket = stringMember(details, "bracket");
    m_tournamentType = stringMember(tournament, "type");
    m_participantCount = participants;
    updateRoundLabel();

    const QJsonObject opponent = match.value(QLatin1String("opponent")).toObject();
    m_opponentName = stringMember(opponent, "name");
    m_opponentAvatar = stringMember(opponent, "avatar");
    m_userSide = stringMember(match, "userSide");
    emit dataChanged();
}

// The label is kept as text for QML, so a change of language must build it again.
void MatchWidgetData::updateRoundLabel()
{
    m_roundLabel = computeRoundLabel(m_round, m_bracket, m_tournamentType, m_participantCount);
}

QString MatchWidgetData::computeRoundLabel(int round, const QString &bracket,
                                           const QString &tournamentType,
                                           int participantCount) const
{
    if (participantCount <= 2)
        return QString();
    const RoundTexts &texts = textsFor(m_lang);
    const int total = int(std::ceil(std::log2(double(participantCount))));
    const QString numbered = QString::number(round);

    if (tournamentType == QLatin1String("DOUBLE_ELIMINATION")) {
        if (bracket == QLatin1String("GF"))
            return texts.grandFinals;
        if (bracket == QLatin1String("WB")) {
            if (round == total)
                return texts.upperFinals;
            if (round == total - 1)
                return texts.upperSemiFinals;
            return QStringLiteral("WB %1 %2").arg(texts.round, numbered);
        }
        if (bracket == QLatin1String("LB")) {
            const int lower = total > 1 ? 2 * total - 2 : 1;
            if (round == lower)
                return texts.lowerFinals;
            if (round == lower - 1)
                return texts.lowerSemiFinals;
            return QStringLiteral("LB %1 %2").arg(texts.round, numbered);
        }
    }
    if (round == total)
        return texts.finals;
    if (round == total - 1)
        return texts.semiFinals;
    if (round == total - 2)
        return texts.quarterFinals;
    return QStringLiteral("%1 %2").arg(texts.round, numbered);
}
