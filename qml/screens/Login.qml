import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

// Maintenance PIN entry. A granted PIN opens the settings, a wrong one is
// reported and the digits are cleared for another try.
Item {
    id: page

    // Only answers to this page's own request count.
    property bool waiting: false
    // "", "granted" or "denied".
    property string result: ""

    onVisibleChanged: {
        if (visible) {
            numberPad.clear()
            waiting = false
            result = ""
        }
    }

    Connections {
        target: manager
        function onSettingsAccessGranted() {
            if (!page.waiting)
                return
            page.waiting = false
            page.result = "granted"
            openSettings.restart()
        }
        function onSettingsAccessDenied() {
            if (!page.waiting)
                return
            page.waiting = false
            page.result = "denied"
            numberPad.clear()
        }
    }

    // Leaves the confirmation on screen for a moment; the session is active
    // by then, so the maintenance entry leads to the settings.
    Timer {
        id: openSettings
        interval: 700
        onTriggered: {
            if (page.visible && manager.screen === "Login")
                manager.setMaintenanceScreen()
        }
    }

    Row {
        anchors.centerIn: parent
        spacing: 64

        Column {
            anchors.verticalCenter: parent.verticalCenter
            width: 360
            spacing: Theme.spacingLarge

            Label {
                objectName: "loginTitle"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                text: qsTr("Enter PIN") + manager.dynTr
                font.pixelSize: Theme.fontTitle
                font.bold: true
                color: Theme.text
            }
            Rectangle {
                width: parent.width
                height: 64
                radius: Theme.radiusLarge
                color: Theme.panelLight
                border.color: page.result === "denied" ? Theme.error : Theme.faint
                border.width: 2

                Label {
                    objectName: "pinDisplay"
                    anchors.centerIn: parent
                    text: "\u25CF".repeat(numberPad.text.length)
                    font.pixelSize: Theme.fontTitle
                    font.letterSpacing: Theme.spacingSmall
                    color: Theme.text
                }
            }
            Label {
                objectName: "loginFeedback"
                width: parent.width
                height: 40
                horizontalAlignment: Text.AlignHCenter
                text: (page.result === "granted" ? qsTr("Access granted")
                       : page.result === "denied" ? qsTr("Wrong PIN, please try again") : "") + manager.dynTr
                font.pixelSize: Theme.fontControl
                color: page.result === "granted" ? Theme.ok : Theme.error
            }
        }

        NumberPad {
            id: numberPad
            objectName: "numberPad"
            anchors.verticalCenter: parent.verticalCenter
            enabled: page.result !== "granted"
            onTextChanged: {
                if (text !== "" && page.result === "denied")
                    page.result = ""
            }
            onAccepted: {
                page.waiting = true
                manager.settingsLoginRequest(text)
            }
        }
    }
}
