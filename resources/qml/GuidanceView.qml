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

    // 3. One panel for the state, laid out by this table; its texts come from textsFor().
    readonly property var statePanels: [
        { state: "WAITING_FOR_GAME", name: "waitingForGamePanel", width: 600, height: 150,
          radius: 15, border: "#0f3460", spacing: 15, headingSize: 32, detailColour: "#16213e",
          detailSize: 20 },
        { state: "WAITING_FOR_INVITATION", name: "waitingForInvitationPanel", width: 600,
          height: 150, radius: 15, border: "#0f3460", spacing: 15, headingSize: 32,
          detailSize: 20, fadeTo: 0.6, fadeMs: 1000 },
        { state: "ACCEPTING_INVITATION", name: "acceptingInvitationPanel", width: 500, height: 100,
          radius: 12, border: "#2ecc71", centreOffset: -200, headingSize: 28, fadeTo: 0.7,
          fadeMs: 800 },
        { state: "JOINING_SLOT", name: "joiningSlotPanel", headingName: "joinLine", width: 700,
          height: 120, radius: 12, border: "#3498db", top: 100, spacing: 10, headingSize: 36,
          detailSize: 22 },
        { state: "WAITING_FOR_PLAYERS", name: "waitingForPlayersPanel", width: 600, height: 150,
          radius: 15, border: "#9b59b6", top: 100, spacing: 20, headingSize: 32 },
        { state: "MATCH_READY", name: "matchReadyPanel", width: 600, height: 150, radius: 15,
          border: "#27ae60", spacing: 15, headingSize: 42, detailSize: 24, grows: true }
    ]

    // What each state says: the heading and detail of its panel, the title and description of
    // the bottom panel.
    function textsFor(forState) {
        const joinTeam = tr("Join " + sideWord + " Team", "به تیم " + sideWord + " بپیوندید")
        const playersLine = tr("Waiting for Players (" + players + "/10)",
                               "در انتظار بازیکنان (" + players + "/10)")
        const matchReady = tr("✓ Match Ready!", "✓ بازی آماده است!")
        const launchGame = tr("Please launch Dota 2 to continue",
                              "لطفاً دوتا 2 را اجرا کنید تا ادامه دهید")
        switch (forState) {
        case "WAITING_FOR_GAME":
            return { heading: tr("⏳ Waiting for Dota 2...", "⏳ در انتظار دوتا 2..."),
                     headingColour: "#e94560", detail: launchGame,
                     title: tr("⏳ Waiting for Dota 2", "⏳ در انتظار دوتا 2"), titleColour: "#f39c12",
                     description: launchGame }
        case "WAITING_FOR_INVITATION":
            return { heading: tr("⏳ Waiting for lobby invitation...", "⏳ در انتظار دعوتنامه لابی..."),
                     headingColour: "#f39c12",
                     detail: tr("The bot will invite you shortly", "ربات به زودی شما را دعوت میکند"),
                     title: tr("⏳ Waiting for Lobby Invitation", "⏳ در انتظار دعوتنامه لابی"),
                     titleColour: "#f39c12",
                     description: tr("The bot will send you a lobby invitation shortly",
                                     "ربات به زودی برای شما دعوتنامه لابی ارسال میکند") }
        case "ACCEPTING_INVITATION":
            return { heading: tr("✓ Click ACCEPT to join the lobby",
                                 "✓ روی قبول کلیک کنید تا به لابی بپیوندید"),
                     headingColour: "#2ecc71", detail: "",
                     title: tr("✓ Accept Lobby Invitation", "✓ دعوتنامه لابی را بپذیرید"),
                     titleColour: "#2ecc71",
                     description: tr("Click the ACCEPT button to join the tournament lobby",
                                     "روی دکمه قبول کلیک کنید تا به لابی تورنومنت بپیوندید") }
        case "JOINING_SLOT":
            // -1 is no slot yet, not one to show.
            return { heading: slot < 0 ? joinTeam
                                       : joinTeam + " - " + slotWord + " " + slot,
                     headingColour: sideColour,
                     detail: tr("Click on the correct slot to join",
                                "روی اسلات صحیح کلیک کنید تا بپیوندید"),
                     title: joinTeam, titleColour: sideColour,
                     description: tr("Click on the one of the empty slots to join your assigned team position",
                                     "روی یکی از اسلات های خالی کلیک کنید تا به موقعیت تیمی خود بپیوندید") }
        case "WAITING_FOR_PLAYERS":
            return { heading: playersLine, headingColour: "#9b59b6", detail: "",
                     title: playersLine, titleColour: "#9b59b6",
                     description: tr("Wait for all players to join the lobby before the match starts",
                                     "منتظر بمانید تا همه بازیکنان قبل از شروع بازی به لابی بپیوندند") }
        case "MATCH_READY":
            return { heading: matchReady, headingColour: "#27ae60",
                     detail: tr("Starting soon...", "به زودی شروع میشود..."),
                     title: matchReady, titleColour: "#27ae60",
                     description: tr("All players ready - match starting soon!",
                                     "همه بازیکنان آماده هستند - بازی به زودی شروع میشود!") }
        case "IN_GAME":
            return { heading: "", headingColour: "#27ae60", detail: "",
                     title: tr("Match In Progress", "بازی در حال انجام"), titleColour: "#27ae60",
                     description: tr("Good luck! Play your best and have fun!",
                                     "موفق باشید! بهترین بازی خود را ارائه دهید و لذت ببرید!") }
        default:
            return { heading: "", headingColour: "#3498db", detail: "",
                     title: tr("Corvanta Tournament", "تورنومنت Corvanta"), titleColour: "#3498db",
                     description: tr("Follow the on-screen instructions",
                                     "دستورالعملهای روی صفحه را دنبال کنید") }
        }
    }

    readonly property var currentTexts: textsFor(state)

    // A state's panel, laid out by its entry of statePanels; children go below the detail line.
    component StatePanel: Rectangle {
        id: panel
        required property var layout
        readonly property var texts: view.textsFor(layout.state)
        default property alias content: lines.data
        objectName: layout.name
        visible: view.state === layout.state
        // Centred on the screen (moved by centreOffset), or at a distance from its top.
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.verticalCenter: layout.top === undefined ? parent.verticalCenter : undefined
        anchors.verticalCenterOffset: layout.centreOffset || 0
        anchors.top: layout.top === undefined ? undefined : parent.top
        anchors.topMargin: layout.top || 0
        width: layout.width
        height: layout.height
        radius: layout.radius
        color: "#CC1a1a2e"
        border.color: layout.border
        border.width: 3

        Column {
            id: lines
            anchors.centerIn: parent
            width: parent.width - 2 * view.panelMargin
            spacing: panel.layout.spacing || 0

            PanelText {
                objectName: panel.layout.headingName || ""
                text: panel.texts.heading
                color: panel.texts.headingColour
                font.pixelSize: panel.layout.headingSize
                font.bold: true
            }
            PanelText {
                visible: panel.texts.detail !== ""
                text: panel.texts.detail
                color: panel.layout.detailColour || "#ecf0f1"
                font.pixelSize: panel.layout.detailSize || 20
            }
        }

        SequentialAnimation on opacity {
            running: panel.visible && panel.layout.fadeTo !== undefined
            loops: Animation.Infinite
            NumberAnimation { to: panel.layout.fadeTo || 1; duration: panel.layout.fadeMs || 800 }
            NumberAnimation { to: 1.0; duration: panel.layout.fadeMs || 800 }
        }
        SequentialAnimation on scale {
            running: panel.visible && panel.layout.grows === true
            loops: Animation.Infinite
            NumberAnimation { to: 1.05; duration: 500 }
            NumberAnimation { to: 1.0; duration: 500 }
        }
    }

    StatePanel { layout: view.statePanels[0] }
    StatePanel { layout: view.statePanels[1] }
    StatePanel { layout: view.statePanels[2] }
    StatePanel { layout: view.statePanels[3] }
    StatePanel {
        layout: view.statePanels[4]

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
    StatePanel { layout: view.statePanels[5] }

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
                    text: view.currentTexts.title
                    color: view.currentTexts.titleColour
                }

                Text {
                    objectName: "bottomDescription"
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.WordWrap
                    font.pixelSize: 16
                    color: "#ecf0f1"
                    text: view.currentTexts.description
                }
            }
        }
    }
}
