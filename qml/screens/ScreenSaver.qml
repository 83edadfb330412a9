import QtQuick 2.15

// Shown with the ignition off: the configured colour and image, full screen.
Rectangle {
    color: manager.screenSaverBg

    Image {
        objectName: "screenSaverImage"
        anchors.centerIn: parent
        width: parent.width * 0.5
        height: parent.height * 0.5
        sourceSize.width: 512
        fillMode: Image.PreserveAspectFit
        source: manager.screenSaverImg
    }
}
