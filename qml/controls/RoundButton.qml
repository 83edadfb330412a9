import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

// A round icon button for tool bars; never smaller than a fingertip.
AbstractButton {
    id: button

    property url iconSource
    property int iconSize: 32

    implicitWidth: 56
    implicitHeight: Theme.controlHeight
    padding: 0

    background: Rectangle {
        radius: width / 2
        color: button.pressed ? Theme.border : "transparent"
    }

    contentItem: Image {
        source: button.iconSource
        sourceSize.width: button.iconSize
        sourceSize.height: button.iconSize
        fillMode: Image.Pad
        opacity: button.enabled ? 1.0 : 0.4
    }
}
