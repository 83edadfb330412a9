import QtQuick 2.15
import QtQuick.Controls 2.15

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
    font.pixelSize: 20

    // Flat: elevation shadows are not drawn by every scene graph backend,
    // and the pop-up must never lose its background.
    background: Rectangle {
        color: "white"
        radius: 4
        border.color: "#cfd8dc"
    }

    // Wraps instead of eliding: translated titles run longer.
    header: Label {
        objectName: popup.objectName + "Title"
        text: popup.title
        wrapMode: Text.Wrap
        padding: 24
        bottomPadding: 8
        font.pixelSize: 26
        font.bold: true
        color: "#263238"
    }

    contentItem: Flickable {
        implicitHeight: body.implicitHeight
        contentHeight: body.implicitHeight
        clip: true
        boundsBehavior: Flickable.StopAtBounds

        Column {
            id: body
            width: parent.width
            spacing: 16
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
