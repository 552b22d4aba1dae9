import QtQuick
import QtWebView

Rectangle {
    id: root
    color: "#0a0a0a"

    WebView {
        id: webView
        objectName: "webView"
        anchors.fill: parent
        url: dashboardWindow.dashboardUrl

        onLoadingChanged: function(loadRequest) {
            retryWatch.stop()
            if (loadRequest.status === WebView.LoadStartedStatus) {
                // Also a retry's load that started after its watch gave up.
                errorCover.visible = false
                loadingCover.visible = true
            } else if (loadRequest.status === WebView.LoadSucceededStatus
                       || loadRequest.status === WebView.LoadStoppedStatus) {
                loadingCover.visible = false
            } else if (loadRequest.status === WebView.LoadFailedStatus) {
                loadingCover.visible = false
                errorText.text = "Failed to load: " + loadRequest.errorString
                errorCover.visible = true
            }
        }

        onUrlChanged: {
            var address = url.toString()
            // The dashboard's own address carries the session token; it stays out of the log.
            console.debug(address.replace(/([?&]token=)[^&#]*/g, "$1..."))
            if (address === "")
                return
            if (dashboardWindow.isLogoutUrl(address)) {
                dashboardWindow.logout()
            } else if (!dashboardWindow.isAllowedUrl(address)) {
                dashboardWindow.openExternal(address)
                // The address changes when a navigation starts, before the foreign page replaces
                // this one: stop it then, so the dashboard stays. A page that did arrive is left
                // by going back.
                if (webView.loading)
                    webView.stop()
                else
                    webView.goBack()
            }
        }
    }

    // The page queues its messages for the launcher; collect them a few times a second while the
    // window is shown. A hidden page keeps what it queues until the window is shown again: polling
    // it would keep the launcher and its web engine busy while the user has put it away.
    Timer {
        interval: 100
        repeat: true
        running: root.Window.visibility !== Window.Hidden
        onTriggered: root.collectWebMessages()
    }

    Connections {
        target: dashboardWindow
        function onCollectRequested() { root.collectWebMessages() }
    }

    function collectWebMessages() {
        webView.runJavaScript(dashboardWindow.webMessageScript(), function(result) {
            dashboardWindow.receiveWebMessages(result)
        })
    }

    // A retry the web engine never starts (seen after a refused connection: no load began and
    // none failed) would leave the loading cover up for good; the error cover comes back instead.
    Timer {
        id: retryWatch
        interval: 10000
        onTriggered: {
            loadingCover.visible = false
            errorCover.visible = true
        }
    }

    Rectangle {
        id: loadingCover
        objectName: "loadingCover"
        anchors.fill: parent
        color: "#0a0a0a"
        visible: true

        Column {
            anchors.centerIn: parent
            spacing: 16

            Rectangle {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 48
                height: 48
                radius: 24
                color: "transparent"
                border.width: 3
                border.color: "#6366f1"

                Rectangle {
                    width: 12
                    height: 12
                    radius: 6
                    color: "#6366f1"
                    anchors.horizontalCenter: parent.horizontalCenter
                    anchors.top: parent.top
                    anchors.topMargin: 4
                }

                RotationAnimation on rotation {
                    from: 0
                    to: 360
                    duration: 1000
                    loops: Animation.Infinite
                    running: loadingCover.visible
                }
            }

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "Loading Corvanta..."
                font.pixelSize: 14
                color: "#a0a0a0"
            }
        }
    }

    Rectangle {
        id: errorCover
        objectName: "errorCover"
        anchors.fill: parent
        color: "#0a0a0a"
        visible: false

        Column {
            anchors.centerIn: parent
            width: root.width - 60
            spacing: 16

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "Connection Error"
                font.pixelSize: 20
                font.bold: true
                color: "#ef4444"
            }

            Text {
                id: errorText
                objectName: "errorText"
                width: parent.width
                text: ""
                font.pixelSize: 14
                color: "#a0a0a0"
                wrapMode: Text.WordWrap
                horizontalAlignment: Text.AlignHCenter
            }

            Rectangle {
                objectName: "retryButton"
                anchors.horizontalCenter: parent.horizontalCenter
                width: 120
                height: 40
                radius: 6
                color: retryArea.containsMouse ? "#4f46e5" : "#6366f1"

                Text {
                    anchors.centerIn: parent
                    text: "Retry"
                    font.pixelSize: 14
                    color: "#ffffff"
                }

                MouseArea {
                    id: retryArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: {
                        errorCover.visible = false
                        loadingCover.visible = true
                        // A load that failed before anything arrived can leave the view with no
                        // address: the dashboard's address is bound again. The view may still
                        // hold that address inside and take the binding for no change (the
                        // loading cover then stayed up for good), so it is reloaded as well.
                        if (webView.url.toString() === "")
                            webView.url = Qt.binding(function() { return dashboardWindow.dashboardUrl })
                        webView.reload()
                        retryWatch.restart()
                    }
                }
            }

            Rectangle {
                objectName: "logoutButton"
                anchors.horizontalCenter: parent.horizontalCenter
                width: 120
                height: 40
                radius: 6
                color: "transparent"
                border.width: 1
                border.color: "#333333"

                Text {
                    anchors.centerIn: parent
                    text: "Logout"
                    font.pixelSize: 14
                    color: "#a0a0a0"
                }

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: dashboardWindow.logout()
                }
            }
        }
    }
}
