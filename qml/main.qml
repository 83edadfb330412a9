import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

ApplicationWindow {
    id: window

    width: 1024
    height: 600
    visible: true
    title: "LTXGTerminal"
    color: "white"

    Material.theme: Material.Light

    property string currentScreen: "Busy"

    Connections {
        target: manager
        function onScreenChanged() {
            console.log("[QML] Screen changed : " + manager.screen)
            window.currentScreen = manager.screen
        }
        function onResetInitialScreen() {
            window.currentScreen = "EntryGate"
        }
        function onErrorOccured(error) {
            console.log("[QML] Error occured : " + error)
        }
    }

    Column {
        anchors.centerIn: parent
        spacing: 24

        Label {
            anchors.horizontalCenter: parent.horizontalCenter
            objectName: "screenLabel"
            text: window.currentScreen
            font.pixelSize: 40
        }

        Label {
            anchors.horizontalCenter: parent.horizontalCenter
            objectName: "messageLabel"
            text: manager.message + manager.dynTr
            font.pixelSize: 28
        }
    }

    // A tap on the busy page of an entry gate issues a card.
    MouseArea {
        anchors.fill: parent
        enabled: window.currentScreen === "Busy"
        onClicked: manager.issueCard()
    }
}
