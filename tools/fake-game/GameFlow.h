#pragma once

#include "SyntheticScreen.h"

#include <QPoint>
#include <QString>

class GameWindow;

// The game's lobby flow on synthetic screens, reacting to the player as the game does: a click on
// ACCEPT of the invitation opens the lobby, a click on an empty slot takes it for the player
// (leaving the slot held before). Other players take slots by command, and a command starts the
// match, which takes the lobby screen away. Every screen is drawn the size of the window.
class GameFlow
{
public:
    // `interfaceScale`: the size the game's pictures are drawn at, 1 for their own.
    explicit GameFlow(GameWindow *window, double interfaceScale = 1.0);

    // "background", "invitation", or "lobby" followed by ten 0/1 digits for the slots taken.
    // Empty on success, else the reason.
    QString showScreen(const QString &argument);
    // Ten 0/1 digits: these slots are taken as well (by other players).
    QString occupy(const QString &digits);
    // The match begins: the lobby goes away.
    QString startMatch();
    // Something else than a synthetic screen is shown now: clicks no longer do anything.
    void forget();

    // A mouse press in the window: what it did, as the line to report ("accepted",
    // "slot <index>"), or empty when it did nothing.
    QString click(const QPoint &position, int button);

private:
    enum class Screen { Other, Background, Invitation, Lobby, Match };

    QString render(Screen screen);
    SyntheticScreen synthetic() const;
    static bool parseSlots(const QString &digits, SyntheticScreen::SlotMask &mask);

    GameWindow *m_window;
    double m_interfaceScale;
    Screen m_screen = Screen::Other;
    SyntheticScreen::SlotMask m_taken{};
    int m_playerSlot = -1;
};
