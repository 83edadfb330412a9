import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

// First start: the technician enters the device serial number.
Item {
    id: page

    // A C or K prefix followed by eight digits.
    readonly property bool serialValid: /^[CK]+\d{8}$/.test(serialField.text)

    Connections {
        target: manager
        function onDeviceIdChanged() {
            serialField.text = manager.deviceId
        }
    }

    Column {
        anchors.centerIn: parent
        width: 560
        spacing: Theme.spacingLarge

        Label {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: qsTr("Device serial number") + manager.dynTr
            font.pixelSize: Theme.fontTitle
            font.bold: true
            color: Theme.text
        }
        TextField {
            id: serialField
            objectName: "serialField"
            width: parent.width
            implicitHeight: 72
            horizontalAlignment: Text.AlignHCenter
            font.pixelSize: Theme.fontTitle
            maximumLength: 16
            inputMethodHints: Qt.ImhUppercaseOnly | Qt.ImhNoPredictiveText
            placeholderText: qsTr("C12345678") + manager.dynTr
            text: manager.deviceId
        }
        Label {
            objectName: "serialHint"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: qsTr("C or K followed by 8 digits") + manager.dynTr
            font.pixelSize: Theme.fontLarge
            color: serialField.text === "" || page.serialValid ? Theme.hint : Theme.error
        }
        CustomButton {
            objectName: "saveButton"
            anchors.horizontalCenter: parent.horizontalCenter
            highlighted: true
            enabled: page.serialValid
            text: qsTr("SAVE") + manager.dynTr
            onClicked: confirmPopup.open()
        }
    }

    CustomPopup {
        id: confirmPopup
        objectName: "confirmPopup"
        question: true
        title: qsTr("Please confirm the serial number") + manager.dynTr
        text: serialField.text
        onAccepted: manager.saveDeviceIdRequest(serialField.text)
    }
}
