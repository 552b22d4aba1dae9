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
    // The user can type the e-mail address at once, without a click first.
    Component.onCompleted: emailField.forceActiveFocus()

    // Where the form may go: above the version line. The form is centred in it while it fits;
    // when an error takes room, the gaps shrink first, then the error box, so the fields and the
    // sign-in button stay in the window whatever the server said.
    Item {
        id: formArea
        anchors.top: parent.top
        anchors.bottom: versionText.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.topMargin: 16
        anchors.bottomMargin: 8
    }

    Column {
        id: form
        anchors.horizontalCenter: parent.horizontalCenter
        y: formArea.y + Math.max(0, (formArea.height - height) / 2)
        width: Math.min(root.width - 60, 340)

        // Everything but the error box and the gaps; none of it depends on either.
        readonly property real fixedHeight: header.height + emailBlock.height + passwordBlock.height
                                            + forgotPasswordLink.height + signInButton.height
                                            + signUpRow.height
        readonly property int gaps: errorBox.visible ? 6 : 5
        readonly property real errorNaturalHeight: errorBox.visible ? errorText.implicitHeight + 16 : 0
        spacing: Math.max(12, Math.min(24, (formArea.height - fixedHeight - errorNaturalHeight) / gaps))

        Column {
            id: header
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
            id: errorBox
            objectName: "errorBox"
            width: parent.width
            readonly property real lineHeight: errorText.implicitHeight / Math.max(1, errorText.lineCount)
            // Whole lines, two at least, so that a cramped window still shows that something went
            // wrong; what does not fit scrolls.
            height: Math.min(form.errorNaturalHeight,
                             16 + lineHeight * Math.max(2, Math.floor(
                                 (formArea.height - form.fixedHeight - form.gaps * form.spacing - 16)
                                 / lineHeight)))
            visible: loginWindow.errorMessage !== ""
            color: "#2d1f1f"
            border.width: 1
            border.color: "#dc2626"
            radius: 6

            Flickable {
                id: errorScroller
                anchors.fill: parent
                anchors.leftMargin: 10
                anchors.rightMargin: 10
                anchors.topMargin: 8
                anchors.bottomMargin: 8
                contentWidth: width
                contentHeight: errorText.height
                interactive: contentHeight > height
                boundsBehavior: Flickable.StopAtBounds
                clip: true
                // In the box's right margin, so that it never covers the text.
                ScrollBar.vertical: ScrollBar {
                    parent: errorBox
                    x: errorBox.width - width - 2
                    y: errorScroller.y
                    height: errorScroller.height
                    width: 6
                    padding: 0
                    policy: errorScroller.interactive ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
                }

                Text {
                    id: errorText
                    objectName: "errorText"
                    width: errorScroller.width
                    text: loginWindow.errorMessage
                    color: "#ef4444"
                    font.pixelSize: 13
                    // Wrap breaks inside a word only where a word is wider than the box, as a long
                    // address or token in a server's message would be.
                    wrapMode: Text.Wrap
                    horizontalAlignment: Text.AlignHCenter
                }
            }
        }

        Column {
            id: emailBlock
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
            id: passwordBlock
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
            id: forgotPasswordLink
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
            id: signUpRow
            objectName: "signUpRow"
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
        id: versionText
        objectName: "versionText"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 16
        text: "v1.0.0"
        font.pixelSize: 11
        color: "#666666"
    }
}
