import QtQuick 2.15
import QtQuick.Controls 2.15

// Refused ticket: the refusal text and the details of the last validation.
Item {
    id: page

    readonly property var details: (transaction && transaction.details) ? transaction.details : ({})
    readonly property var detailKeys: Object.keys(details)

    Column {
        anchors.centerIn: parent
        width: parent.width - 96
        spacing: 16

        Image {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 112
            height: 112
            sourceSize.width: 112
            sourceSize.height: 112
            source: "qrc:/qml/images/invalid.svg"
        }
        Label {
            objectName: "invalidTitle"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: qsTr("Invalid ticket") + manager.dynTr
            font.pixelSize: 40
            font.bold: true
            color: "#d32f2f"
        }
        Label {
            objectName: "invalidReason"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            visible: text !== ""
            text: (transaction && transaction.denyReason) ? transaction.denyReason : ""
            font.pixelSize: 28
            color: "#263238"
        }
        Column {
            objectName: "invalidDetails"
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 4

            Repeater {
                model: page.detailKeys

                Label {
                    text: qsTr("%1: %2").arg(modelData).arg(String(page.details[modelData])) + manager.dynTr
                    font.pixelSize: 20
                    color: "#546e7a"
                }
            }
        }
    }
}
