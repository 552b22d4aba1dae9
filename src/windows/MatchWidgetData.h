#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// What the live-match widget shows about the user's next or current match, filled from the
// platform's live-game record; the round label in English or Persian.
class MatchWidgetData : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool hasMatch READ hasMatch NOTIFY dataChanged)
    Q_PROPERTY(QString matchId READ matchId NOTIFY dataChanged)
    Q_PROPERTY(int gameNumber READ gameNumber NOTIFY dataChanged)
    Q_PROPERTY(QString scheduledTime READ scheduledTime NOTIFY dataChanged)
    Q_PROPERTY(bool isStarted READ isStarted NOTIFY dataChanged)
    Q_PROPERTY(QString lobbyStatus READ lobbyStatus NOTIFY dataChanged)
    Q_PROPERTY(QString tournamentName READ tournamentName NOTIFY dataChanged)
    Q_PROPERTY(QString roundLabel READ roundLabel NOTIFY dataChanged)
    Q_PROPERTY(bool isCompetition READ isCompetition NOTIFY dataChanged)
    Q_PROPERTY(QString opponentName READ opponentName NOTIFY dataChanged)
    Q_PROPERTY(QString opponentAvatar READ opponentAvatar NOTIFY dataChanged)
    Q_PROPERTY(QString userSide READ userSide NOTIFY dataChanged)
    Q_PROPERTY(QString lang READ lang NOTIFY dataChanged)

public:
    explicit MatchWidgetData(QObject *parent = nullptr);

    bool hasMatch() const { return m_hasMatch; }
    QString matchId() const { return m_matchId; }
    int gameNumber() const { return m_gameNumber; }
    QString scheduledTime() const { return m_scheduledTime; }
    bool isStarted() const { return m_isStarted; }
    QString lobbyStatus() const { return m_lobbyStatus; }
    QString tournamentName() const { return m_tournamentName; }
    QString roundLabel() const { return m_roundLabel; }
    bool isCompetition() const { return m_isCompetition; }
    QString opponentName() const { return m_opponentName; }
    QString opponentAvatar() const { return m_opponentAvatar; }
    QString userSide() const { return m_userSide; }
    QString lang() const { return m_lang; }

    // "fa" selects the Persian texts, anything else English. The launcher keeps English; the
    // views' gallery and the tests choose.
    void setLang(const QString &lang);

    // An empty record clears.
    void updateFromLiveGame(const QJsonObject &match);
    void clear();
    QString computeRoundLabel(int round, const QString &bracket, const QString &tournamentType,
                              int participantCount) const;

signals:
    void dataChanged();

private:
    void reset();
    void updateRoundLabel();

    bool m_hasMatch = false;
    QString m_matchId;
    int m_gameNumber = 1;
    QString m_scheduledTime;
    bool m_isStarted = false;
    QString m_lobbyStatus = QStringLiteral("creating");
    QString m_tournamentName;
    QString m_roundLabel;
    // What the round label is built from.
    int m_round = 0;
    QString m_bracket;
    QString m_tournamentType;
    int m_participantCount = 2;
    bool m_isCompetition = false;
    QString m_opponentName;
    QString m_opponentAvatar;
    QString m_userSide;
    QString m_lang = QStringLiteral("en");
};
