import QtQuick

// The pointing hand. (targetX, targetY) is where the fingertip points: 25 px right of and 10 px
// below the picture's top-left corner.
Item {
    id: hand

    property real targetX: 0
    property real targetY: 0
    property string imagePath: "qrc:/images/hand.png"

    width: picture.width
    height: picture.height
    // Not animated: the hand jumps to a new target at once.
    x: targetX - 25
    y: targetY - 10
    opacity: visible ? 1 : 0

    Behavior on opacity {
        NumberAnimation { duration: 300 }
    }

    Image {
        id: picture
        objectName: "handPicture"
        width: 64
        height: 64
        source: hand.imagePath
        // The picture is drawn at 512 x 512; reading it at the size it is shown at keeps the
        // outline smooth instead of thinning it out.
        sourceSize: Qt.size(64, 64)
        fillMode: Image.PreserveAspectFit
        smooth: true

        SequentialAnimation on scale {
            running: hand.visible
            loops: Animation.Infinite
            NumberAnimation { from: 1.0; to: 1.15; duration: 500; easing.type: Easing.InOutQuad }
            NumberAnimation { from: 1.15; to: 1.0; duration: 500; easing.type: Easing.InOutQuad }
            PauseAnimation { duration: 200 }
        }

        SequentialAnimation on rotation {
            running: hand.visible
            loops: Animation.Infinite
            NumberAnimation { from: 0; to: -5; duration: 600; easing.type: Easing.InOutQuad }
            NumberAnimation { from: -5; to: 5; duration: 600; easing.type: Easing.InOutQuad }
            NumberAnimation { from: 5; to: 0; duration: 600; easing.type: Easing.InOutQuad }
            PauseAnimation { duration: 300 }
        }
    }

    // A ring spreading out around the fingertip.
    Rectangle {
        id: ripple
        x: -12
        y: -25
        width: 80
        height: 80
        radius: 40
        color: "transparent"
        border.color: "#FFD700"
        border.width: 3
        opacity: 0
        scale: 0.5
    }

    SequentialAnimation {
        running: hand.visible
        loops: Animation.Infinite
        PauseAnimation { duration: 800 }
        ParallelAnimation {
            NumberAnimation {
                target: ripple; property: "opacity"; from: 0.8; to: 0
                duration: 1200; easing.type: Easing.OutQuad
            }
            NumberAnimation {
                target: ripple; property: "scale"; from: 0.5; to: 1.5
                duration: 1200; easing.type: Easing.OutQuad
            }
        }
        PropertyAction { target: ripple; property: "scale"; value: 0.5 }
    }
}
