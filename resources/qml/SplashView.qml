import QtQuick

Rectangle {
    id: root
    color: "transparent"
    opacity: 0

    signal finished()

    Image {
        anchors.centerIn: parent
        width: 128
        height: 128
        source: "qrc:/images/icon.png"
        fillMode: Image.PreserveAspectFit
        smooth: true
        mipmap: true
    }

    SequentialAnimation {
        running: true
        onFinished: root.finished()

        NumberAnimation { target: root; property: "opacity"; from: 0; to: 1; duration: 500; easing.type: Easing.InOutQuad }
        PauseAnimation { duration: 1000 }
        NumberAnimation { target: root; property: "opacity"; from: 1; to: 0; duration: 500; easing.type: Easing.InOutQuad }
    }
}
