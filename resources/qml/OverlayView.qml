import QtQuick

// The guidance for the overlay state the window publishes. Nothing is drawn before a match is
// guided (IDLE) or once the game has started (IN_GAME).
Item {
    GuidanceView {
        objectName: "guidanceView"
        anchors.fill: parent
        visible: currentState !== "IDLE" && currentState !== "IN_GAME"
        state: currentState
        side: playerSide
        slot: slotNumber
        players: playerCount
    }
}
