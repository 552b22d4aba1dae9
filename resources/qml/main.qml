import QtQuick

// The overlay window's scene. The window lets every click through to the game, and nothing in the
// scene reacts to input either.
Item {
    width: 1920
    height: 1080
    enabled: false

    OverlayView {
        anchors.fill: parent
    }
}
