import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

// What the back office needs to provision this terminal: its serial number
// and the validator's identity. Provisioning itself is done remotely, so
// the pop-up only shows them.
SettingsPopUp {
    id: popup

    title: qsTr("Provisioning") + manager.dynTr

    SettingsRow {
        readOnly: true
        objectName: popup.objectName + "DeviceId"
        width: parent.width
        title: qsTr("Serial number") + manager.dynTr
        value: manager.deviceId
    }
    SettingsRow {
        readOnly: true
        width: parent.width
        title: qsTr("Validator version") + manager.dynTr
        value: validatorManager.version
    }
    SettingsRow {
        readOnly: true
        width: parent.width
        title: qsTr("Vehicle") + manager.dynTr
        value: validatorManager.vehicle
    }
    SettingsRow {
        readOnly: true
        width: parent.width
        title: qsTr("RFID reader") + manager.dynTr
        value: validatorManager.rfid ? validatorManager.rfid.deviceUid : ""
    }
    Label {
        width: parent.width
        wrapMode: Text.Wrap
        text: qsTr("Give these details to the back office to register the terminal.") + manager.dynTr
        color: Theme.textMuted
    }
}
