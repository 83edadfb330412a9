import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

// Waiting page with the manager's message line. On an entry gate a tap
// starts issuing a card.
Item {
    id: page

    Column {
        anchors.centerIn: parent
        width: parent.width - 96
        spacing: Theme.spacingHuge

        BusyIndicator {
            objectName: "busyIndicator"
            anchors.horizontalCenter: parent.horizontalCenter
            width: 96
            height: 96
            running: page.visible
        }
        Label {
            objectName: "busyMessage"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: qsTranslate("GUIManager", manager.message) + manager.dynTr
            font.pixelSize: Theme.fontTitle
            color: Theme.text
        }
    }

    MouseArea {
        objectName: "busyTapArea"
        anchors.fill: parent
        onClicked: {
            if (manager.isEntryGate)
                manager.issueCard()
        }
    }
}
