import QtQuick 2.15
import QtQuick.Controls 2.15

// An icon, a title and a message line, centred.
Item {
    id: screen

    property url icon
    property string title
    property string message
    property color titleColor: "#263238"

    Column {
        anchors.centerIn: parent
        width: parent.width - 96
        spacing: 24

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
            font.pixelSize: 40
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
            font.pixelSize: 28
            color: "#455a64"
        }
    }
}
