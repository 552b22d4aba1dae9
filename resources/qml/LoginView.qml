import QtQuick
import QtQuick.Controls

Rectangle {
    id: root
    color: "#0a0a0a"
    focus: true

    function signIn() {
        if (!loginWindow.isLoading)
            loginWindow.login(emailField.text, passwordField.text)
    }

    Keys.onReturnPressed: signIn()
    Keys.onEnterPressed: signIn()

    Column {
        id: form
        anchors.centerIn: parent
        width: Math.min(root.width - 60, 340)
        spacing: 24

        Column {
            width: parent.width
            spacing: 8

            Text {
                width: parent.width
                text: "Corvanta"
                font.pixelSize: 28
                font.bold: true
                color: "#ffffff"
                horizontalAlignment: Text.AlignHCenter
            }
            Text {
                width: parent.width
                text: "Sign in to your account"
                font.pixelSize: 14
                color: "#a0a0a0"
                horizontalAlignment: Text.AlignHCenter
            }
        }

        Rectangle {
            objectName: "errorBox"
            width: parent.width
            height: errorText.height + 16
            visible: loginWindow.errorMessage !== ""
            color: "#2d1f1f"
            border.width: 1
            border.color: "#dc2626"
            radius: 6

            Text {
                id: errorText
                objectName: "errorText"
                anchors.centerIn: parent
                width: parent.width - 20
                text: loginWindow.errorMessage
                color: "#ef4444"
                font.pixelSize: 13
                wrapMode: Text.WordWrap
                horizontalAlignment: Text.AlignHCenter
            }
        }

        Column {
            width: parent.width
            spacing: 8

            Text {
                text: "Email"
                font.pixelSize: 13
                font.weight: Font.Medium
                color: "#e0e0e0"
            }
            Rectangle {
                width: parent.width
                height: 44
                color: "#1a1a1a"
                radius: 6
                border.width: 1
                border.color: emailField.activeFocus ? "#6366f1" : "#333333"

                TextField {
                    id: emailField
                    objectName: "emailField"
                    anchors.fill: parent
                    leftPadding: 12
                    color: "#ffffff"
                    font.pixelSize: 14
                    placeholderText: "you@example.com"
                    placeholderTextColor: "#666666"
                    enabled: !loginWindow.isLoading
                    background: null
                    KeyNavigation.tab: passwordField
                }
            }
        }

        Column {
            width: parent.width
            spacing: 8

            Text {
                text: "Password"
                font.pixelSize: 13
                font.weight: Font.Medium
                color: "#e0e0e0"
            }
            Rectangle {
                width: parent.width
                height: 44
                color: "#1a1a1a"
                radius: 6
                border.width: 1
                border.color: passwordField.activeFocus ? "#6366f1" : "#333333"

                TextField {
                    id: passwordField
                    objectName: "passwordField"
                    anchors.fill: parent
                    leftPadding: 12
                    color: "#ffffff"
                    font.pixelSize: 14
                    placeholderText: "Enter your password"
                    placeholderTextColor: "#666666"
                    echoMode: TextInput.Password
                    enabled: !loginWindow.isLoading
                    background: null
                    Keys.onReturnPressed: root.signIn()
                    Keys.onEnterPressed: root.signIn()
                }
            }
        }

        Text {
            objectName: "forgotPasswordLink"
            anchors.right: parent.right
            text: "Forgot password?"
            font.pixelSize: 13
            color: "#6366f1"

            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: loginWindow.openForgotPassword()
            }
        }

        Rectangle {
            id: signInButton
            objectName: "signInButton"
            width: parent.width
            height: 44
            radius: 6
            color: loginWindow.isLoading ? "#4338ca" : (buttonArea.containsMouse ? "#4f46e5" : "#6366f1")

            Row {
                anchors.centerIn: parent
                spacing: 8

                Item {
                    objectName: "spinner"
                    width: 18
                    height: 18
                    anchors.verticalCenter: parent.verticalCenter
                    visible: loginWindow.isLoading

                    Rectangle {
                        anchors.fill: parent
                        radius: width / 2
                        color: "transparent"
                        border.width: 2
                        border.color: "#ffffff"
                    }
                    Rectangle {
                        width: 6
                        height: 6
                        radius: 3
                        color: "#ffffff"
                        anchors.horizontalCenter: parent.horizontalCenter
                        anchors.top: parent.top
                    }
                    RotationAnimation on rotation {
                        from: 0
                        to: 360
                        duration: 1000
                        loops: Animation.Infinite
                        running: loginWindow.isLoading
                    }
                }

                Text {
                    objectName: "signInLabel"
                    anchors.verticalCenter: parent.verticalCenter
                    text: loginWindow.isLoading ? "Signing in..." : "Sign in"
                    font.pixelSize: 15
                    font.weight: Font.Medium
                    color: "#ffffff"
                }
            }

            MouseArea {
                id: buttonArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: root.signIn()
            }
        }

        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 4

            Text {
                text: "Don't have an account?"
                font.pixelSize: 13
                color: "#a0a0a0"
            }
            Text {
                objectName: "signUpLink"
                text: "Sign up"
                font.pixelSize: 13
                font.weight: Font.Medium
                color: "#6366f1"

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: loginWindow.openRegister()
                }
            }
        }
    }

    Text {
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 16
        text: "v1.0.0"
        font.pixelSize: 11
        color: "#666666"
    }
}
