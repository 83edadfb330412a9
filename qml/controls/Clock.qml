import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

// Date and time of the header. Holding it is the hidden maintenance button.
Item {
    id: clock

    signal held()

    property date now: new Date()

    implicitWidth: Math.max(column.implicitWidth + 16, 96)
    implicitHeight: Math.max(column.implicitHeight + 16, 64)

    Timer {
        interval: 1000
        running: true
        repeat: true
        onTriggered: clock.now = new Date()
    }

    Column {
        id: column
        anchors.centerIn: parent

        Label {
            objectName: "clockDate"
            anchors.horizontalCenter: parent.horizontalCenter
            text: Qt.formatDateTime(clock.now, "dd-MM-yyyy")
            font.pixelSize: Theme.fontControl
            color: Theme.textSecondary
        }
        Label {
            objectName: "clockTime"
            anchors.horizontalCenter: parent.horizontalCenter
            text: Qt.formatDateTime(clock.now, "hh:mm")
            font.pixelSize: Theme.fontDisplay
            font.bold: true
            color: Theme.text
        }
    }

    MouseArea {
        objectName: "clockArea"
        anchors.fill: parent
        onPressAndHold: clock.held()
    }
}
