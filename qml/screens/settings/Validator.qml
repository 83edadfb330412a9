import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// What the validation service reports about itself and its readers.
SettingsPage {
    id: page

    title: qsTr("Validator") + manager.dynTr

    readonly property var rfid: validatorManager.rfid
    readonly property var barcode: validatorManager.barcode
    // Replaced with every status message; null while no SAM is seated.
    readonly property var sam: rfid ? rfid.sam : null

    function yesNo(value) {
        return (value ? qsTr("Yes") : qsTr("No")) + manager.dynTr
    }

    // Two columns of fixed width: rows whose height follows their width
    // would make a layout that shares the width rearrange itself forever.
    Row {
        id: columns
        Layout.fillWidth: true
        spacing: Theme.spacingHuge

        ColumnLayout {
            width: (columns.width - columns.spacing) / 2
            spacing: 0

            SettingsHeading {
                text: qsTr("Service") + manager.dynTr
            }
            SettingsRow {
                objectName: "validatorStatus"
                readOnly: true
                title: qsTr("Status") + manager.dynTr
                value: validatorManager.status
            }
            SettingsRow {
                objectName: "validatorReason"
                readOnly: true
                title: qsTr("Reason") + manager.dynTr
                value: validatorManager.reason
            }
            SettingsRow {
                readOnly: true
                title: qsTr("Version") + manager.dynTr
                value: validatorManager.version
            }
            SettingsRow {
                objectName: "validatorVehicle"
                readOnly: true
                title: qsTr("Vehicle") + manager.dynTr
                value: validatorManager.vehicle
            }
            SettingsRow {
                readOnly: true
                title: qsTr("Route") + manager.dynTr
                value: validatorManager.route
            }
            SettingsRow {
                objectName: "validatorDeviceId"
                readOnly: true
                title: qsTr("Device ID") + manager.dynTr
                value: manager.deviceId
            }
            SettingsHeading {
                text: qsTr("Barcode reader") + manager.dynTr
            }
            SettingsRow {
                readOnly: true
                title: qsTr("Active") + manager.dynTr
                value: page.barcode ? page.yesNo(page.barcode.active) : ""
            }
            SettingsRow {
                readOnly: true
                title: qsTr("Enabled") + manager.dynTr
                value: page.barcode ? page.yesNo(page.barcode.enabled) : ""
            }
            SettingsRow {
                objectName: "validatorBarcodeFirmware"
                readOnly: true
                title: qsTr("Firmware") + manager.dynTr
                value: page.barcode ? page.barcode.firmware : ""
            }
            SettingsRow {
                readOnly: true
                title: qsTr("Model") + manager.dynTr
                value: page.barcode ? page.barcode.model : ""
            }
            SettingsRow {
                readOnly: true
                title: qsTr("Manufacturer") + manager.dynTr
                value: page.barcode ? page.barcode.manufacturer : ""
            }
        }

        ColumnLayout {
            width: (columns.width - columns.spacing) / 2
            spacing: 0

            SettingsHeading {
                text: qsTr("RFID reader") + manager.dynTr
            }
            SettingsRow {
                objectName: "validatorRfidState"
                readOnly: true
                title: qsTr("State") + manager.dynTr
                value: page.rfid ? page.rfid.state : ""
            }
            SettingsRow {
                readOnly: true
                title: qsTr("Active") + manager.dynTr
                value: page.rfid ? page.yesNo(page.rfid.active) : ""
            }
            SettingsRow {
                readOnly: true
                title: qsTr("Error") + manager.dynTr
                value: page.rfid ? page.rfid.error : ""
            }
            SettingsRow {
                readOnly: true
                title: qsTr("Firmware") + manager.dynTr
                value: page.rfid ? page.rfid.firmware : ""
            }
            SettingsRow {
                readOnly: true
                title: qsTr("Model") + manager.dynTr
                value: page.rfid ? page.rfid.model : ""
            }
            SettingsRow {
                readOnly: true
                title: qsTr("Manufacturer") + manager.dynTr
                value: page.rfid ? page.rfid.manufacturer : ""
            }
            SettingsRow {
                readOnly: true
                title: qsTr("Device UID") + manager.dynTr
                value: page.rfid ? page.rfid.deviceUid : ""
            }
            SettingsHeading {
                text: qsTr("SAM") + manager.dynTr
            }
            Label {
                objectName: "validatorNoSam"
                Layout.fillWidth: true
                Layout.topMargin: Theme.spacingSmall
                visible: !page.sam
                wrapMode: Text.Wrap
                text: qsTr("SAM not present") + manager.dynTr
                font.pixelSize: Theme.fontBody
                color: Theme.error
            }
            ColumnLayout {
                Layout.fillWidth: true
                visible: !!page.sam
                spacing: 0
                SettingsRow {
                    readOnly: true
                    title: qsTr("Slot") + manager.dynTr
                    value: page.sam ? String(page.sam.slot) : ""
                }
                SettingsRow {
                    objectName: "validatorSamName"
                    readOnly: true
                    title: qsTr("Name") + manager.dynTr
                    value: page.sam ? page.sam.name : ""
                }
                SettingsRow {
                    readOnly: true
                    title: qsTr("Version") + manager.dynTr
                    value: page.sam ? page.sam.version : ""
                }
                SettingsRow {
                    readOnly: true
                    title: qsTr("UID") + manager.dynTr
                    value: page.sam ? page.sam.uid : ""
                }
                SettingsRow {
                    readOnly: true
                    title: qsTr("Mode") + manager.dynTr
                    value: page.sam ? page.sam.mode : ""
                }
                SettingsRow {
                    readOnly: true
                    title: qsTr("Unlocked") + manager.dynTr
                    value: page.sam ? page.yesNo(page.sam.unlocked) : ""
                }
                SettingsRow {
                    readOnly: true
                    title: qsTr("Production") + manager.dynTr
                    value: page.sam ? Qt.formatDate(page.sam.production, "yyyy-MM-dd") : ""
                }
            }
        }
    }

    actions: [
        CustomButton {
            objectName: "validatorProvisionButton"
            flat: true
            text: qsTr("PROVISIONING") + manager.dynTr
            onClicked: provisionPopup.open()
        },
        CustomButton {
            objectName: "validatorConfigButton"
            highlighted: true
            text: qsTr("CONFIGURATION") + manager.dynTr
            onClicked: page.StackView.view.push("qrc:/qml/screens/settings/ValidatorConfig.qml")
        }
    ]

    ProvisionPopUp {
        id: provisionPopup
        objectName: "provisionPopup"
    }
}
