import QtQuick

// The live-match card. Everything it shows comes from the context properties that
// LiveMatchWindow publishes from its MatchWidgetData; the page itself keeps only the countdown and
// whether it is expanded.
Item {
    id: root
    objectName: "liveMatchWidget"
    width: 380
    height: isExpanded ? expandedHeight : 50

    readonly property int expandedHeight: 620

    property int timeRemainingSeconds: 0
    property bool isExpanded: true
    property bool isTimeUp: false
    readonly property string lang: typeof widgetLang !== "undefined" ? widgetLang : "en"

    readonly property color statusColor: lobbyStatus === "creating" ? "#f39c12"
                                       : lobbyStatus === "ready" ? "#3498db"
                                       : lobbyStatus === "playing" ? "#27ae60"
                                       : "#95a5a6"
    readonly property string statusText: lobbyStatus === "creating" ? tr("Creating Lobby...", "در حال ساخت لابی...")
                                       : lobbyStatus === "ready" ? tr("Lobby Ready", "لابی آماده است")
                                       : lobbyStatus === "playing" ? tr("Match In Progress", "بازی در حال انجام")
                                       : tr("Waiting...", "در انتظار...")
    readonly property bool isRadiant: userSide === "RADIANT"

    // Persian reads from right to left: anchors, rows and text alignments all mirror with it.
    LayoutMirroring.enabled: lang === "fa"
    LayoutMirroring.childrenInherit: true

    function tr(en, fa) {
        return lang === "fa" ? fa : en
    }

    function updateCountdown() {
        if (scheduledTime === "") {
            timeRemainingSeconds = 0
            isTimeUp = true
            return
        }
        const diff = new Date(scheduledTime) - Date.now()
        // A time the date constructor cannot read gives NaN; it counts as no time left rather
        // than as a countdown of NaN.
        if (!(diff > 0)) {
            isTimeUp = true
            timeRemainingSeconds = 0
        } else {
            isTimeUp = false
            timeRemainingSeconds = Math.floor(diff / 1000)
        }
    }

    // Minutes are not capped at 59: two hours and five minutes read 125:07.
    function formatCountdown(seconds) {
        const rest = seconds % 60
        return Math.floor(seconds / 60) + ":" + (rest < 10 ? "0" : "") + rest
    }

    Timer {
        objectName: "countdownTimer"
        interval: 1000
        repeat: true
        running: hasMatch && !root.isTimeUp
        onTriggered: root.updateCountdown()
    }

    // The countdown follows the published "scheduledTime", not the data object's dataChanged: Qt
    // hands that signal to this page before the window has published the new values.
    readonly property string countdownTarget: scheduledTime
    onCountdownTargetChanged: updateCountdown()

    Component.onCompleted: updateCountdown()

    Rectangle {
        anchors.fill: parent
        radius: 12
        border.width: 2
        border.color: "#80ef4444"
        gradient: Gradient {
            GradientStop { position: 0.0; color: "#40ef4444" }
            GradientStop { position: 0.5; color: "#40f97316" }
            GradientStop { position: 1.0; color: "#40ef4444" }
        }

        Rectangle {
            anchors.fill: parent
            radius: 12
            color: "#E0111827"
        }
    }

    Item {
        id: header
        objectName: "header"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        height: 50
        clip: true

        // Rounded at the top only: the rectangle reaches one radius below the header, where the
        // clip cuts its lower corners off.
        Rectangle {
            width: parent.width
            height: parent.height + radius
            radius: 12
            color: "#E0ef4444"
        }

        Rectangle {
            id: pulseDot
            objectName: "pulseDot"
            anchors.left: parent.left
            anchors.leftMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            width: 8
            height: 8
            radius: 4
            color: "#ffffff"

            // Only while the widget is shown: with no window on screen to pace it, an animation
            // ticks the whole program sixty times a second.
            SequentialAnimation on opacity {
                running: root.Window.visibility !== Window.Hidden
                loops: Animation.Infinite
                NumberAnimation { from: 1.0; to: 0.3; duration: 800 }
                NumberAnimation { from: 0.3; to: 1.0; duration: 800 }
            }
        }

        Text {
            id: headerIcon
            anchors.left: pulseDot.right
            anchors.leftMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            text: "\u{1F3AE}"
            font.pixelSize: 18
        }

        Text {
            objectName: "headerTitle"
            anchors.left: headerIcon.right
            anchors.leftMargin: 8
            anchors.right: toggleButton.left
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            text: root.isTimeUp ? tr("Match Ready!", "بازی آماده!") : tr("Upcoming Match", "بازی آینده")
            font.pixelSize: 16
            font.bold: true
            color: "#ffffff"
            horizontalAlignment: Text.AlignLeft
            elide: Text.ElideRight
        }

        Rectangle {
            id: toggleButton
            objectName: "toggleButton"
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            width: 32
            height: 32
            radius: 4
            color: toggleArea.containsMouse ? "#40ffffff" : "transparent"

            Text {
                objectName: "toggleArrow"
                anchors.centerIn: parent
                text: root.isExpanded ? "\u25BC" : "\u25B2"
                font.pixelSize: 12
                color: "#ffffff"
            }

            MouseArea {
                id: toggleArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: root.isExpanded = !root.isExpanded
            }
        }
    }

    Column {
        id: content
        objectName: "content"
        visible: root.isExpanded
        anchors.top: header.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: 16
        // Twelve pixels between the parts. With every part shown, the text of the tournament
        // row and of the instructions makes them taller than the expanded card; then the gaps
        // close up just enough to keep the launch button 16 px above the card's bottom.
        spacing: {
            let used = 0
            let parts = 0
            for (let i = 0; i < children.length; ++i) {
                if (children[i].visible) {
                    used += children[i].height
                    ++parts
                }
            }
            const room = root.expandedHeight - header.height - 2 * 16
            return parts > 1 ? Math.min(12, Math.floor((room - used) / (parts - 1))) : 12
        }

        Rectangle {
            objectName: "countdownBox"
            width: parent.width
            height: 70
            radius: 8
            color: root.isTimeUp ? "#20ef4444" : "#203b82f6"
            border.width: 1
            border.color: root.isTimeUp ? "#40ef4444" : "#403b82f6"

            Text {
                id: clockIcon
                anchors.left: parent.left
                anchors.leftMargin: 16
                anchors.verticalCenter: parent.verticalCenter
                text: "\u{1F550}"
                font.pixelSize: 24
                color: root.isTimeUp ? "#ef4444" : "#3b82f6"
            }

            Column {
                anchors.left: clockIcon.right
                anchors.leftMargin: 12
                anchors.right: parent.right
                anchors.rightMargin: 16
                anchors.verticalCenter: parent.verticalCenter

                Text {
                    objectName: "countdownLabel"
                    width: parent.width
                    text: root.isTimeUp ? tr("Starting now!", "الان شروع می\u200Cشود!") : tr("Starts in", "شروع در")
                    font.pixelSize: 14
                    color: "#d1d5db"
                    horizontalAlignment: Text.AlignLeft
                }

                Text {
                    objectName: "countdownText"
                    width: parent.width
                    visible: !root.isTimeUp
                    text: root.formatCountdown(root.timeRemainingSeconds)
                    font.pixelSize: 28
                    font.bold: true
                    font.family: "monospace"
                    color: "#3b82f6"
                    horizontalAlignment: Text.AlignLeft
                }
            }
        }

        Rectangle {
            objectName: "lobbyStatusBox"
            width: parent.width
            height: 60
            radius: 8
            color: Qt.rgba(root.statusColor.r, root.statusColor.g, root.statusColor.b, 0.1)
            border.width: 1
            border.color: Qt.rgba(root.statusColor.r, root.statusColor.g, root.statusColor.b, 0.3)

            Text {
                id: antennaIcon
                anchors.left: parent.left
                anchors.leftMargin: 16
                anchors.verticalCenter: parent.verticalCenter
                text: "\u{1F4E1}"
                font.pixelSize: 20
                color: root.statusColor
            }

            Column {
                anchors.left: antennaIcon.right
                anchors.leftMargin: 12
                anchors.right: parent.right
                anchors.rightMargin: 16
                anchors.verticalCenter: parent.verticalCenter

                Text {
                    objectName: "lobbyStatusCaption"
                    width: parent.width
                    text: tr("Lobby Status", "وضعیت لابی")
                    font.pixelSize: 11
                    color: "#9ca3af"
                    horizontalAlignment: Text.AlignLeft
                }

                Text {
                    objectName: "lobbyStatusText"
                    width: parent.width
                    text: root.statusText
                    font.pixelSize: 14
                    font.bold: true
                    color: root.statusColor
                    horizontalAlignment: Text.AlignLeft
                }
            }
        }

        Item {
            objectName: "tournamentRow"
            width: parent.width
            height: Math.max(trophyIcon.height, tournamentTexts.height)

            Text {
                id: trophyIcon
                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                text: "\u{1F3C6}"
                font.pixelSize: 20
                color: "#fbbf24"
            }

            Column {
                id: tournamentTexts
                anchors.left: trophyIcon.right
                anchors.leftMargin: 8
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter

                Text {
                    objectName: "tournamentCaption"
                    width: parent.width
                    text: tr("Tournament", "تورنومنت")
                    font.pixelSize: 11
                    color: "#9ca3af"
                    horizontalAlignment: Text.AlignLeft
                }

                Text {
                    objectName: "tournamentNameText"
                    width: parent.width
                    text: tournamentName !== "" ? tournamentName : tr("Unknown Tournament", "تورنومنت ناشناخته")
                    font.pixelSize: 14
                    font.bold: true
                    color: "#f3f4f6"
                    elide: Text.ElideRight
                    horizontalAlignment: Text.AlignLeft
                }
            }
        }

        Row {
            objectName: "badgesRow"
            width: parent.width
            spacing: 8
            visible: !isCompetition || roundLabel !== ""

            Rectangle {
                objectName: "roundBadge"
                visible: !isCompetition && roundLabel !== ""
                width: roundBadgeText.implicitWidth + 16
                height: 26
                radius: 4
                color: "#20fbbf24"
                border.width: 1
                border.color: "#40fbbf24"

                Text {
                    id: roundBadgeText
                    objectName: "roundBadgeText"
                    anchors.centerIn: parent
                    text: roundLabel
                    font.pixelSize: 12
                    color: "#fbbf24"
                }
            }

            Rectangle {
                objectName: "gameBadge"
                width: gameBadgeText.implicitWidth + 16
                height: 26
                radius: 4
                color: "#203b82f6"
                border.width: 1
                border.color: "#403b82f6"

                Text {
                    id: gameBadgeText
                    objectName: "gameBadgeText"
                    anchors.centerIn: parent
                    text: tr("Game", "گیم") + " " + gameNumber
                    font.pixelSize: 12
                    color: "#60a5fa"
                }
            }
        }

        Rectangle {
            objectName: "opponentRow"
            width: parent.width
            height: 50
            radius: 8
            color: "#20374151"

            Text {
                id: peopleIcon
                anchors.left: parent.left
                anchors.leftMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                text: "\u{1F465}"
                font.pixelSize: 20
            }

            Text {
                id: versusText
                objectName: "versusText"
                anchors.left: peopleIcon.right
                anchors.leftMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                text: tr("vs", "مقابل")
                font.pixelSize: 14
                color: "#9ca3af"
            }

            // The avatar address is not shown; the initial stands in for it.
            Rectangle {
                id: avatar
                anchors.left: versusText.right
                anchors.leftMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                width: 32
                height: 32
                radius: 16
                color: "#4b5563"

                Text {
                    objectName: "opponentInitial"
                    anchors.centerIn: parent
                    text: opponentName !== ""
                          ? String.fromCodePoint(opponentName.codePointAt(0)).toUpperCase()
                          : ""
                    font.pixelSize: 14
                    font.bold: true
                    color: "#ffffff"
                }
            }

            Text {
                objectName: "opponentNameText"
                anchors.left: avatar.right
                anchors.leftMargin: 10
                anchors.right: parent.right
                anchors.rightMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                text: opponentName !== "" ? opponentName : tr("TBD", "مشخص نشده")
                font.pixelSize: 14
                font.bold: true
                color: "#f3f4f6"
                elide: Text.ElideRight
                horizontalAlignment: Text.AlignLeft
            }
        }

        Rectangle {
            objectName: "sideBox"
            width: parent.width
            height: 90
            radius: 8
            visible: userSide !== ""
            border.width: 2
            border.color: root.isRadiant ? "#4022c55e" : "#40ef4444"
            gradient: Gradient {
                orientation: Gradient.Horizontal
                GradientStop { position: 0.0; color: root.isRadiant ? "#2022c55e" : "#20ef4444" }
                GradientStop { position: 1.0; color: root.isRadiant ? "#2010b981" : "#20f97316" }
            }

            Column {
                anchors.centerIn: parent
                spacing: 2

                Text {
                    objectName: "sideCaption"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: tr("Your Side", "تیم شما")
                    font.pixelSize: 12
                    color: "#9ca3af"
                }

                Text {
                    objectName: "sideText"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: userSide
                    font.pixelSize: 32
                    font.bold: true
                    font.letterSpacing: 3
                    color: root.isRadiant ? "#4ade80" : "#f87171"
                }
            }
        }

        Rectangle {
            objectName: "instructionsBox"
            width: parent.width
            height: instructions.implicitHeight + 20
            radius: 8
            color: "#203b82f6"
            border.width: 1
            border.color: "#403b82f6"

            Column {
                id: instructions
                anchors.fill: parent
                anchors.margins: 10
                spacing: 6

                Text {
                    objectName: "instructionsCaption"
                    width: parent.width
                    text: tr("Instructions", "دستورالعمل")
                    font.pixelSize: 13
                    font.bold: true
                    color: "#60a5fa"
                    horizontalAlignment: Text.AlignLeft
                }

                Text {
                    objectName: "instruction1"
                    width: parent.width
                    text: "1. " + tr("Launch Dota 2 and wait for invitation", "دوتا 2 را اجرا کنید و منتظر دعوت\u200Cنامه باشید")
                    font.pixelSize: 11
                    color: "#d1d5db"
                    wrapMode: Text.WordWrap
                    horizontalAlignment: Text.AlignLeft
                }

                Text {
                    objectName: "instruction2"
                    width: parent.width
                    text: "2. " + tr("Accept the lobby invite from bot", "دعوت\u200Cنامه لابی از ربات را بپذیرید")
                    font.pixelSize: 11
                    color: "#d1d5db"
                    wrapMode: Text.WordWrap
                    horizontalAlignment: Text.AlignLeft
                }

                Text {
                    objectName: "instruction3"
                    width: parent.width
                    text: "3. " + tr("Join your assigned team side", "به تیم تعیین شده خود بپیوندید")
                    font.pixelSize: 11
                    color: "#d1d5db"
                    wrapMode: Text.WordWrap
                    horizontalAlignment: Text.AlignLeft
                }
            }
        }

        Rectangle {
            objectName: "launchButton"
            width: parent.width
            height: 48
            radius: 8
            color: launchArea.containsMouse ? "#ea580c" : "#f97316"

            Row {
                anchors.centerIn: parent
                spacing: 8

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "\u{1F3AE}"
                    font.pixelSize: 18
                }

                Text {
                    objectName: "launchText"
                    anchors.verticalCenter: parent.verticalCenter
                    text: tr("Launch Dota 2", "اجرای دوتا 2")
                    font.pixelSize: 16
                    font.bold: true
                    color: "#ffffff"
                }
            }

            MouseArea {
                id: launchArea
                objectName: "launchArea"
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: {
                    Qt.openUrlExternally("steam://run/570")
                    liveMatchWindow.hideWidget()
                }
            }
        }
    }
}
