import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

// An icon, a title and a message line, centred.
Item {
    id: screen

    property url icon
    property string title
    property string message
    property color titleColor: Theme.text

    Column {
        anchors.centerIn: parent
        width: parent.width - 96
        spacing: Theme.spacingLarge

        Image {
            objectName: "messageIcon"
            anchors.horizontalCenter: parent.horizontalCenter
            visible: screen.icon.toString() !== ""
            width: 128
            height: 128
            sourceSize.width: 128
            sourceSize.height: 128
            source: screen.icon
        }
        Label {
            objectName: "messageTitle"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            visible: text !== ""
            text: screen.title
            font.pixelSize: Theme.fontDisplay
            font.bold: true
            color: screen.titleColor
        }
        Label {
            objectName: "messageText"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            visible: text !== ""
            text: screen.message
            font.pixelSize: Theme.fontHeading
            color: Theme.textSecondary
        }
    }
}
