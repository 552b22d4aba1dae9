#pragma once

#include <QMetaType>
#include <QString>

// The steps through which the overlay guides a player from a match's announcement to the game's
// start. Values are fixed: they are logged and handed to the overlay window as integers.
enum OverlayState {
    IDLE = 0,
    WAITING_FOR_GAME = 1,
    WAITING_FOR_INVITATION = 2,
    ACCEPTING_INVITATION = 3,
    JOINING_SLOT = 4,
    WAITING_FOR_PLAYERS = 5,
    MATCH_READY = 6,
    IN_GAME = 7,
};

// "IDLE", "WAITING_FOR_GAME", ...; the empty string for a value outside 0 to 7.
QString overlayStateName(int state);

Q_DECLARE_METATYPE(OverlayState)
