import QtQuick 2.15
import "."

// The strip above the operating pages: logo on the left, clock on the right.
Rectangle {
    id: header

    signal maintenanceRequested()

    implicitHeight: 120
    color: Theme.background

    Logo {
        objectName: "headerLogo"
        anchors.left: parent.left
        anchors.leftMargin: 32
        anchors.verticalCenter: parent.verticalCenter
        height: 72
    }

    Clock {
        objectName: "clock"
        anchors.right: parent.right
        anchors.rightMargin: 24
        anchors.verticalCenter: parent.verticalCenter
        onHeld: header.maintenanceRequested()
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 1
        color: Theme.border
    }
}
