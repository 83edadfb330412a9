import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

// A framed image with an optional caption, scaled to fit; shows a busy
// indicator while it loads and a note when it cannot be shown.
Rectangle {
    id: box

    property alias source: image.source
    property alias status: image.status
    property string caption

    implicitWidth: 240
    implicitHeight: 240 + (captionText.visible ? captionText.implicitHeight + 8 : 0)
    color: Theme.background
    border.color: Theme.border
    radius: Theme.radius

    Image {
        id: image
        objectName: box.objectName !== "" ? box.objectName + "Image" : ""
        anchors.fill: parent
        anchors.margins: Theme.spacingSmall
        anchors.bottomMargin: captionText.visible ? captionText.height + 16 : 8
        fillMode: Image.PreserveAspectFit
        sourceSize.width: width
        sourceSize.height: height
        smooth: false
    }
    BusyIndicator {
        anchors.centerIn: image
        running: image.status === Image.Loading
    }
    Label {
        anchors.centerIn: image
        width: image.width
        visible: image.status === Image.Error
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        text: qsTr("Image not available") + manager.dynTr
        color: Theme.error
    }
    Label {
        id: captionText
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: Theme.spacingSmall
        visible: text !== ""
        text: box.caption
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        font.pixelSize: Theme.fontSmall
        color: Theme.textMuted
    }
}
