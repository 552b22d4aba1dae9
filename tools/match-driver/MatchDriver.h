#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class FakeGame;
class PlatformSimulator;
class SyntheticScreen;

// Plays a match on the local platform simulator and the fake game together, one step at a time,
// the way the platform and the game would: the match is announced, the game opens, the lobby
// invitation appears, the slot the player takes in the game becomes the platform's record of
// occupied slots, the other nine players arrive, the match starts and ends.
//
// Every step waits for its effect and returns false (with a warning) when it did not happen.
class MatchDriver
{
public:
    struct Setup
    {
        QString email = QStringLiteral("player@corvanta.test");
        QString side = QStringLiteral("Radiant"); // "Radiant" or "Dire"
        bool captain = false;
        int startsInSeconds = 150;
        QString announce = QStringLiteral("socket"); // "socket", "dashboard" or "none"
        QRect window;               // the game's client area on the desktop; empty: full-screen
        bool fullScreen = false;    // with a window: full-screen on the monitor it lies on
        double interfaceScale = 1.0; // the size the game draws its pictures at
    };

    // Both are borrowed and must outlive the driver; the simulator must be started or attached.
    MatchDriver(PlatformSimulator *simulator, FakeGame *game);

    // The platform announces the match.
    bool announce(const Setup &setup);
    // The game starts on the main menu, full-screen or in the setup's window.
    bool openGame(const QStringList &extraArguments = {});
    // The lobby invitation pops up.
    bool invite();
    // Waits for the player to click ACCEPT; the game then shows the lobby.
    bool waitForAccept(int timeoutMs);
    // Waits for the player to take a slot and hands it to the platform; the lobby index (0 to 9,
    // left column first) or -1.
    int waitForSlot(int timeoutMs);
    // Other players take free slots, one every `intervalMs`, in the game and on the platform,
    // until `occupied` slots are taken.
    bool fillLobby(int intervalMs, int occupied = 10);
    // The match begins: the lobby screen goes away.
    bool startMatch();
    // The platform reports the game completed.
    bool completeMatch();
    // The game window closes.
    void closeGame();

    // Where the player belongs: the captain's slot, or the side's four others.
    QList<int> slotsToTake() const;
    // A slot's rectangle on the game's screen (its client area fills the screen).
    QRect slotRect(int index) const;
    QRect acceptRect() const;
    // The game's client area on the desktop, once the game is open, and what it draws there.
    QRect gameArea() const { return m_gameArea; }
    SyntheticScreen gameScreen() const;
    int playerSlot() const { return m_playerSlot; }
    QString userId() const { return m_userId; }
    QJsonObject match() const { return m_match; }
    const Setup &setup() const { return m_setup; }

private:
    static QString teamOf(int index);
    bool sendOccupiedSlots();
    QString nextUserFor(int index) const;

    PlatformSimulator *m_simulator;
    FakeGame *m_game;
    Setup m_setup;
    QJsonObject m_match;
    QString m_userId;
    QRect m_gameArea; // the client area on the desktop, once the game is open
    int m_playerSlot = -1;
    QStringList m_seats; // who sits in each of the ten slots; empty when free
};
