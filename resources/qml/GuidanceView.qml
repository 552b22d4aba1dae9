import QtQuick

// What the player sees over the game: the pointing hand, the pulsing slot frame, one panel for the
// overlay state and the bottom panel with a title and a description. Every text exists in English
// and Persian; the context property `language` "fa" selects Persian, anything else English.
Item {
    id: view

    // Set by the container (OverlayView.qml).
    property string state: "IDLE"
    property string side: ""
    property int slot: 0
    property int players: 0

    readonly property string lang: typeof language !== "undefined" && language ? language : "en"
    property bool bottomPanelCollapsed: false

    // Null until the window publishes the renderer.
    readonly property var renderer: typeof guidanceRenderer !== "undefined" ? guidanceRenderer : null

    // The side word is chosen without regard to case, the colour with regard to it.
    readonly property string sideWord: side.toUpperCase() === "RADIANT" ? tr("RADIANT", "رادیانت")
                                                                        : tr("DIRE", "دایر")
    readonly property color sideColour: side === "RADIANT" ? "#6dd400" : "#d73737"
    readonly property string slotWord: tr("Slot", "اسلات")

    // Space kept free between a state panel's texts and its border.
    readonly property int panelMargin: 20

    function tr(en, fa) {
        return lang === "fa" ? fa : en
    }

    // A line of a state panel, centred. A line that would not fit the panel at its size is drawn
    // smaller instead of running over the border (the Persian accept line is wider than its box).
    component PanelText: Text {
        width: parent.width
        horizontalAlignment: Text.AlignHCenter
        fontSizeMode: Text.HorizontalFit
        minimumPixelSize: 10
    }

    // 1. The pointing hand.
    PointerHand {
        objectName: "pointerHand"
        visible: view.renderer ? view.renderer.showPointer : false
        targetX: view.renderer ? view.renderer.pointerPosition.x : 0
        targetY: view.renderer ? view.renderer.pointerPosition.y : 0
        imagePath: view.renderer ? view.renderer.pointerImagePath : ""
    }

    // 2. The frame around the slots to take.
    Rectangle {
        id: slotFrame
        objectName: "slotFrame"
        x: view.renderer ? view.renderer.boundingBox.x : 0
        y: view.renderer ? view.renderer.boundingBox.y : 0
        width: view.renderer ? view.renderer.boundingBox.width : 0
        height: view.renderer ? view.renderer.boundingBox.height : 0
        visible: view.renderer ? view.renderer.showBoundingBox : false
        color: "transparent"
        radius: 8
        border.width: 4
        border.color: view.sideColour

        SequentialAnimation on opacity {
            running: slotFrame.visible
            loops: Animation.Infinite
            NumberAnimation { to: 0.3; duration: 800 }
            NumberAnimation { to: 1.0; duration: 800 }
        }
    }

    // 3. One panel for the state.
    Rectangle {
        id: waitingForGamePanel
        objectName: "waitingForGamePanel"
        visible: view.state === "WAITING_FOR_GAME"
        anchors.centerIn: parent
        width: 600
        height: 150
        radius: 15
        color: "#CC1a1a2e"
        border.color: "#0f3460"
        border.width: 3

        Column {
            anchors.centerIn: parent
            width: parent.width - 2 * view.panelMargin
            spacing: 15

            PanelText {
                text: view.tr("⏳ Waiting for Dota 2...", "⏳ در انتظار دوتا 2...")
                color: "#e94560"
                font.pixelSize: 32
                font.bold: true
            }
            PanelText {
                text: view.tr("Please launch Dota 2 to continue",
                              "لطفاً دوتا 2 را اجرا کنید تا ادامه دهید")
                color: "#16213e"
                font.pixelSize: 20
            }
        }
    }

    Rectangle {
        id: waitingForInvitationPanel
        objectName: "waitingForInvitationPanel"
        visible: view.state === "WAITING_FOR_INVITATION"
        anchors.centerIn: parent
        width: 600
        height: 150
        radius: 15
        color: "#CC1a1a2e"
        border.color: "#0f3460"
        border.width: 3

        Column {
            anchors.centerIn: parent
            width: parent.width - 2 * view.panelMargin
            spacing: 15

            PanelText {
                text: view.tr("⏳ Waiting for lobby invitation...", "⏳ در انتظار دعوتنامه لابی...")
                color: "#f39c12"
                font.pixelSize: 32
                font.bold: true
            }
            PanelText {
                text: view.tr("The bot will invite you shortly", "ربات به زودی شما را دعوت میکند")
                color: "#ecf0f1"
                font.pixelSize: 20
            }
        }

        SequentialAnimation on opacity {
            running: waitingForInvitationPanel.visible
            loops: Animation.Infinite
            NumberAnimation { to: 0.6; duration: 1000 }
            NumberAnimation { to: 1.0; duration: 1000 }
        }
    }

    Rectangle {
        id: acceptingInvitationPanel
        objectName: "acceptingInvitationPanel"
        visible: view.state === "ACCEPTING_INVITATION"
        anchors.centerIn: parent
        anchors.verticalCenterOffset: -200
        width: 500
        height: 100
        radius: 12
        color: "#CC1a1a2e"
        border.color: "#2ecc71"
        border.width: 3

        Column {
            anchors.centerIn: parent
            width: parent.width - 2 * view.panelMargin

            PanelText {
                text: view.tr("✓ Click ACCEPT to join the lobby",
                              "✓ روی قبول کلیک کنید تا به لابی بپیوندید")
                color: "#2ecc71"
                font.pixelSize: 28
                font.bold: true
            }
        }

        SequentialAnimation on opacity {
            running: acceptingInvitationPanel.visible
            loops: Animation.Infinite
            NumberAnimation { to: 0.7; duration: 800 }
            NumberAnimation { to: 1.0; duration: 800 }
        }
    }

    // The frame pulses around the join panel, in the side's colour.
    Rectangle {
        id: joinFrame
        objectName: "joinFrame"
        visible: view.state === "JOINING_SLOT"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 95
        width: 710
        height: 130
        radius: 15
        color: "transparent"
        border.color: view.sideColour
        border.width: 5

        SequentialAnimation on opacity {
            running: joinFrame.visible
            loops: Animation.Infinite
            NumberAnimation { to: 0; duration: 800 }
            NumberAnimation { to: 1; duration: 800 }
        }
    }

    Rectangle {
        id: joiningSlotPanel
        objectName: "joiningSlotPanel"
        visible: view.state === "JOINING_SLOT"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 100
        width: 700
        height: 120
        radius: 12
        color: "#CC1a1a2e"
        border.color: "#3498db"
        border.width: 3

        Column {
            anchors.centerIn: parent
            width: parent.width - 2 * view.panelMargin
            spacing: 10

            PanelText {
                objectName: "joinLine"
                // -1 is no slot yet, not one to show.
                text: view.slot < 0
                      ? view.tr("Join " + view.sideWord + " Team", "به تیم " + view.sideWord + " بپیوندید")
                      : view.tr("Join " + view.sideWord + " Team - " + view.slotWord + " " + view.slot,
                                "به تیم " + view.sideWord + " بپیوندید - " + view.slotWord + " " + view.slot)
                color: view.sideColour
                font.pixelSize: 36
                font.bold: true
            }
            PanelText {
                text: view.tr("Click on the correct slot to join",
                              "روی اسلات صحیح کلیک کنید تا بپیوندید")
                color: "#ecf0f1"
                font.pixelSize: 22
            }
        }
    }

    Rectangle {
        id: waitingForPlayersPanel
        objectName: "waitingForPlayersPanel"
        visible: view.state === "WAITING_FOR_PLAYERS"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 100
        width: 600
        height: 150
        radius: 15
        color: "#CC1a1a2e"
        border.color: "#9b59b6"
        border.width: 3

        Column {
            anchors.centerIn: parent
            width: parent.width - 2 * view.panelMargin
            spacing: 20

            PanelText {
                text: view.tr("Waiting for Players (" + view.players + "/10)",
                              "در انتظار بازیکنان (" + view.players + "/10)")
                color: "#9b59b6"
                font.pixelSize: 32
                font.bold: true
            }

            Rectangle {
                objectName: "progressTrack"
                anchors.horizontalCenter: parent.horizontalCenter
                width: 400
                height: 30
                radius: 15
                color: "#34495e"

                Rectangle {
                    objectName: "progressFill"
                    width: (view.players / 10) * 400
                    height: parent.height
                    radius: 15
                    color: "#9b59b6"

                    Behavior on width {
                        NumberAnimation { duration: 300 }
                    }
                }

                Text {
                    objectName: "progressText"
                    anchors.centerIn: parent
                    text: view.players + view.tr("/10 players", "/10 بازیکن")
                    color: "white"
                    font.pixelSize: 16
                    font.bold: true
                }
            }
        }
    }

    Rectangle {
        id: matchReadyPanel
        objectName: "matchReadyPanel"
        visible: view.state === "MATCH_READY"
        anchors.centerIn: parent
        width: 600
        height: 150
        radius: 15
        color: "#CC1a1a2e"
        border.color: "#27ae60"
        border.width: 3

        Column {
            anchors.centerIn: parent
            width: parent.width - 2 * view.panelMargin
            spacing: 15

            PanelText {
                text: view.tr("✓ Match Ready!", "✓ بازی آماده است!")
                color: "#27ae60"
                font.pixelSize: 42
                font.bold: true
            }
            PanelText {
                text: view.tr("Starting soon...", "به زودی شروع میشود...")
                color: "#ecf0f1"
                font.pixelSize: 24
            }
        }

        SequentialAnimation on scale {
            running: matchReadyPanel.visible
            loops: Animation.Infinite
            NumberAnimation { to: 1.05; duration: 500 }
            NumberAnimation { to: 1.0; duration: 500 }
        }
    }

    // 4. The bottom panel: what to do now, in a title and a description.
    Item {
        id: bottomPanel
        objectName: "bottomPanel"
        visible: view.state !== "IDLE"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        width: view.width * 0.4
        height: view.bottomPanelCollapsed ? tab.height : view.height * 0.08 + 11

        Behavior on height {
            NumberAnimation { duration: 200; easing.type: Easing.InOutQuad }
        }

        Rectangle {
            id: tab
            objectName: "bottomTab"
            z: 1
            anchors.top: parent.top
            anchors.horizontalCenter: parent.horizontalCenter
            width: 48
            height: 22
            radius: 8
            color: tabMouse.containsMouse ? "#EE2a2a4e" : "#DD1a1a2e"
            border.color: "#0f3460"
            border.width: 2

            Text {
                objectName: "bottomTabArrow"
                anchors.centerIn: parent
                text: view.bottomPanelCollapsed ? "\u25B2" : "\u25BC"
                color: "#ecf0f1"
                font.pixelSize: 10
            }

            MouseArea {
                id: tabMouse
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: view.bottomPanelCollapsed = !view.bottomPanelCollapsed
            }
        }

        Rectangle {
            objectName: "bottomContent"
            anchors.top: tab.verticalCenter
            anchors.bottom: parent.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            visible: !view.bottomPanelCollapsed
            clip: true
            color: "#DD1a1a2e"
            radius: 10
            border.color: "#0f3460"
            border.width: 2

            Column {
                anchors.centerIn: parent
                width: parent.width * 0.9
                spacing: 8

                Text {
                    objectName: "bottomTitle"
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.WordWrap
                    font.pixelSize: 24
                    font.bold: true
                    text: {
                        switch (view.state) {
                        case "WAITING_FOR_GAME":
                            return view.tr("⏳ Waiting for Dota 2", "⏳ در انتظار دوتا 2")
                        case "WAITING_FOR_INVITATION":
                            return view.tr("⏳ Waiting for Lobby Invitation", "⏳ در انتظار دعوتنامه لابی")
                        case "ACCEPTING_INVITATION":
                            return view.tr("✓ Accept Lobby Invitation", "✓ دعوتنامه لابی را بپذیرید")
                        case "JOINING_SLOT":
                            return view.tr("Join " + view.sideWord + " Team",
                                           "به تیم " + view.sideWord + " بپیوندید")
                        case "WAITING_FOR_PLAYERS":
                            return view.tr("Waiting for Players (" + view.players + "/10)",
                                           "در انتظار بازیکنان (" + view.players + "/10)")
                        case "MATCH_READY":
                            return view.tr("✓ Match Ready!", "✓ بازی آماده است!")
                        case "IN_GAME":
                            return view.tr("Match In Progress", "بازی در حال انجام")
                        default:
                            return view.tr("Kestrava Tournament", "تورنومنت Kestrava")
                        }
                    }
                    color: {
                        switch (view.state) {
                        case "WAITING_FOR_GAME":
                        case "WAITING_FOR_INVITATION":
                            return "#f39c12"
                        case "ACCEPTING_INVITATION":
                            return "#2ecc71"
                        case "JOINING_SLOT":
                            return view.sideColour
                        case "WAITING_FOR_PLAYERS":
                            return "#9b59b6"
                        case "MATCH_READY":
                        case "IN_GAME":
                            return "#27ae60"
                        default:
                            return "#3498db"
                        }
                    }
                }

                Text {
                    objectName: "bottomDescription"
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.WordWrap
                    font.pixelSize: 16
                    color: "#ecf0f1"
                    text: {
                        switch (view.state) {
                        case "WAITING_FOR_GAME":
                            return view.tr("Please launch Dota 2 to continue",
                                           "لطفاً دوتا 2 را اجرا کنید تا ادامه دهید")
                        case "WAITING_FOR_INVITATION":
                            return view.tr("The bot will send you a lobby invitation shortly",
                                           "ربات به زودی برای شما دعوتنامه لابی ارسال میکند")
                        case "ACCEPTING_INVITATION":
                            return view.tr("Click the ACCEPT button to join the tournament lobby",
                                           "روی دکمه قبول کلیک کنید تا به لابی تورنومنت بپیوندید")
                        case "JOINING_SLOT":
                            return view.tr("Click on the one of the empty slots to join your assigned team position",
                                           "روی یکی از اسلات های خالی کلیک کنید تا به موقعیت تیمی خود بپیوندید")
                        case "WAITING_FOR_PLAYERS":
                            return view.tr("Wait for all players to join the lobby before the match starts",
                                           "منتظر بمانید تا همه بازیکنان قبل از شروع بازی به لابی بپیوندند")
                        case "MATCH_READY":
                            return view.tr("All players ready - match starting soon!",
                                           "همه بازیکنان آماده هستند - بازی به زودی شروع میشود!")
                        case "IN_GAME":
                            return view.tr("Good luck! Play your best and have fun!",
                                           "موفق باشید! بهترین بازی خود را ارائه دهید و لذت ببرید!")
                        default:
                            return view.tr("Follow the on-screen instructions",
                                           "دستورالعملهای روی صفحه را دنبال کنید")
                        }
                    }
                }
            }
        }
    }
}
