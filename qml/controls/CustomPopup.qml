import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

// Modal message box with large touch buttons; with `question` set it asks
// for a confirmation (OK accepts, CANCEL rejects).
Dialog {
    id: popup

    property string text
    property bool question: false

    modal: true
    anchors.centerIn: Overlay.overlay
    width: 640
    closePolicy: Popup.CloseOnEscape

    // The title as large as the rest of the screens' headings.
    header: Label {
        objectName: popup.objectName + "Title"
        visible: popup.title !== ""
        text: popup.title
        wrapMode: Text.Wrap
        padding: 24
        bottomPadding: 0
        font.pixelSize: Theme.fontHeading
        font.bold: true
        color: Theme.text
    }

    contentItem: Label {
        objectName: popup.objectName + "Text"
        text: popup.text
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
        font.pixelSize: Theme.fontControl
    }

    footer: Item {
        implicitHeight: 96

        Row {
            anchors.centerIn: parent
            spacing: Theme.spacingLarge

            CustomButton {
                objectName: popup.objectName + "Cancel"
                visible: popup.question
                flat: true
                text: qsTr("CANCEL") + manager.dynTr
                onClicked: popup.reject()
            }
            CustomButton {
                objectName: popup.objectName + "Ok"
                highlighted: true
                text: qsTr("OK") + manager.dynTr
                onClicked: popup.accept()
            }
        }
    }
}
