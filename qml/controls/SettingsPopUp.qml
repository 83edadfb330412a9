import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

// Modal pop-up of the settings area: a title, any content and a CLOSE
// button large enough for a finger.
Dialog {
    id: popup

    default property alias content: body.data

    modal: true
    anchors.centerIn: Overlay.overlay
    width: 720
    height: Math.min(implicitHeight, Overlay.overlay ? Overlay.overlay.height - 32 : 560)
    closePolicy: Popup.CloseOnEscape
    font.pixelSize: Theme.fontLarge

    // Flat: elevation shadows are not drawn by every scene graph backend,
    // and the pop-up must never lose its background.
    background: Rectangle {
        color: Theme.background
        radius: Theme.radius
        border.color: Theme.border
    }

    // Wraps instead of eliding: translated titles run longer.
    header: Label {
        objectName: popup.objectName + "Title"
        text: popup.title
        wrapMode: Text.Wrap
        padding: 24
        bottomPadding: 8
        font.pixelSize: Theme.fontHeading
        font.bold: true
        color: Theme.text
    }

    contentItem: Flickable {
        implicitHeight: body.implicitHeight
        contentHeight: body.implicitHeight
        clip: true
        boundsBehavior: Flickable.StopAtBounds

        Column {
            id: body
            width: parent.width
            spacing: Theme.spacing
        }
    }

    footer: Item {
        implicitHeight: 96

        CustomButton {
            objectName: popup.objectName + "Close"
            anchors.centerIn: parent
            highlighted: true
            text: qsTr("CLOSE") + manager.dynTr
            onClicked: popup.close()
        }
    }
}
