import QtQuick 2.15
import QtQuick.Controls 2.15

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
            font.pixelSize: 22
            color: "#455a64"
        }
        Label {
            objectName: "clockTime"
            anchors.horizontalCenter: parent.horizontalCenter
            text: Qt.formatDateTime(clock.now, "hh:mm")
            font.pixelSize: 40
            font.bold: true
            color: "#263238"
        }
    }

    MouseArea {
        objectName: "clockArea"
        anchors.fill: parent
        onPressAndHold: clock.held()
    }
}
