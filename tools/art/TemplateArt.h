#pragma once

#include <QImage>
#include <QRect>

// The six pictures the lobby detectors match against the game's screens, drawn by us in the style
// of a dark game interface. They are matched in grey at half resolution, so every surface carries
// gradients, borders, lines or text: a flat patch has no correlation to offer.
//
// Text is set in DejaVu Sans without hinting, so the pixels depend only on that font file and the
// toolkit. A QGuiApplication must exist (fonts need one); corvanta-art runs it on the offscreen
// platform so the desktop's font settings cannot change the result.
//
// Every picture is fully opaque: a matcher that reads them as grey ignores alpha, and a
// transparent pixel would then stand for black where the screen shows something else.

// 771 x 587: the "LOBBY INVITE" popup, holding drawAcceptButton() pixel for pixel at
// invitationAcceptButtonRect() and a "DECLINE" button beside it.
QImage drawInvitationPopup();
// 256 x 61: the green "ACCEPT" button.
QImage drawAcceptButton();
// 930 x 89: the bar above the two team columns, "THE RADIANT" left in green, "THE DIRE" right in
// red.
QImage drawLobbyHeader();
// 881 x 60: the thinner bar under the slots with the two "COACH" places.
QImage drawLobbyCoachHeader();
// 421 x 63: a taken player slot: avatar, name, rank badge.
QImage drawSlotOccupied();
// 413 x 63: a free player slot: dim, a plus sign and "EMPTY SLOT", no avatar.
QImage drawSlotEmpty();

// Where the popup holds its accept button, in the popup's own pixels. The synthetic screens use it
// to say where the button ended up.
inline constexpr QRect invitationAcceptButtonRect()
{
    return QRect(109, 486, 256, 61);
}
