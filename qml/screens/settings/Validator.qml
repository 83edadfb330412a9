import QtQuick 2.15
import QtQuick.Controls 2.15
import "../../controls"

// What the validation service reports about itself and its readers.
Page {
    id: page

    title: qsTr("Validator") + manager.dynTr

    readonly property var rfid: validatorManager.rfid
    readonly property var barcode: validatorManager.barcode
    // Replaced with every status message; null while no SAM is seated.
    readonly property var sam: rfid ? rfid.sam : null

    function yesNo(value) {
        return (value ? qsTr("Yes") : qsTr("No")) + manager.dynTr
    }

    Flickable {
        anchors.fill: parent
        anchors.bottomMargin: buttons.height + 36
        contentHeight: columns.height + 24
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollIndicator.vertical: ScrollIndicator {}

        Row {
            id: columns
            x: 24
            y: 12
            width: parent.width - 48
            spacing: 32

            Column {
                width: (parent.width - parent.spacing) / 2

                SettingsHeading {
                    width: parent.width
                    text: qsTr("Service") + manager.dynTr
                }
                MessageRowItem {
                    objectName: "validatorStatus"
                    width: parent.width
                    label: qsTr("Status") + manager.dynTr
                    value: validatorManager.status
                }
                MessageRowItem {
                    objectName: "validatorReason"
                    width: parent.width
                    label: qsTr("Reason") + manager.dynTr
                    value: validatorManager.reason
                }
                MessageRowItem {
                    width: parent.width
                    label: qsTr("Version") + manager.dynTr
                    value: validatorManager.version
                }
                MessageRowItem {
                    objectName: "validatorVehicle"
                    width: parent.width
                    label: qsTr("Vehicle") + manager.dynTr
                    value: validatorManager.vehicle
                }
                MessageRowItem {
                    width: parent.width
                    label: qsTr("Route") + manager.dynTr
                    value: validatorManager.route
                }
                MessageRowItem {
                    objectName: "validatorDeviceId"
                    width: parent.width
                    label: qsTr("Device ID") + manager.dynTr
                    value: manager.deviceId
                }

                SettingsHeading {
                    width: parent.width
                    text: qsTr("Barcode reader") + manager.dynTr
                }
                MessageRowItem {
                    width: parent.width
                    label: qsTr("Active") + manager.dynTr
                    value: page.barcode ? page.yesNo(page.barcode.active) : ""
                }
                MessageRowItem {
                    width: parent.width
                    label: qsTr("Enabled") + manager.dynTr
                    value: page.barcode ? page.yesNo(page.barcode.enabled) : ""
                }
                MessageRowItem {
                    objectName: "validatorBarcodeFirmware"
                    width: parent.width
                    label: qsTr("Firmware") + manager.dynTr
                    value: page.barcode ? page.barcode.firmware : ""
                }
                MessageRowItem {
                    width: parent.width
                    label: qsTr("Model") + manager.dynTr
                    value: page.barcode ? page.barcode.model : ""
                }
                MessageRowItem {
                    width: parent.width
                    label: qsTr("Manufacturer") + manager.dynTr
                    value: page.barcode ? page.barcode.manufacturer : ""
                }
            }

            Column {
                width: (parent.width - parent.spacing) / 2

                SettingsHeading {
                    width: parent.width
                    text: qsTr("RFID reader") + manager.dynTr
                }
                MessageRowItem {
                    objectName: "validatorRfidState"
                    width: parent.width
                    label: qsTr("State") + manager.dynTr
                    value: page.rfid ? page.rfid.state : ""
                }
                MessageRowItem {
                    width: parent.width
                    label: qsTr("Active") + manager.dynTr
                    value: page.rfid ? page.yesNo(page.rfid.active) : ""
                }
                MessageRowItem {
                    width: parent.width
                    label: qsTr("Error") + manager.dynTr
                    value: page.rfid ? page.rfid.error : ""
                }
                MessageRowItem {
                    width: parent.width
                    label: qsTr("Firmware") + manager.dynTr
                    value: page.rfid ? page.rfid.firmware : ""
                }
                MessageRowItem {
                    width: parent.width
                    label: qsTr("Model") + manager.dynTr
                    value: page.rfid ? page.rfid.model : ""
                }
                MessageRowItem {
                    width: parent.width
                    label: qsTr("Manufacturer") + manager.dynTr
                    value: page.rfid ? page.rfid.manufacturer : ""
                }
                MessageRowItem {
                    width: parent.width
                    label: qsTr("Device UID") + manager.dynTr
                    value: page.rfid ? page.rfid.deviceUid : ""
                }

                SettingsHeading {
                    width: parent.width
                    text: qsTr("SAM") + manager.dynTr
                }
                Label {
                    objectName: "validatorNoSam"
                    width: parent.width
                    visible: !page.sam
                    wrapMode: Text.Wrap
                    text: qsTr("SAM not present") + manager.dynTr
                    font.pixelSize: 18
                    color: "#d32f2f"
                }
                Column {
                    width: parent.width
                    visible: !!page.sam

                    MessageRowItem {
                        width: parent.width
                        label: qsTr("Slot") + manager.dynTr
                        value: page.sam ? String(page.sam.slot) : ""
                    }
                    MessageRowItem {
                        objectName: "validatorSamName"
                        width: parent.width
                        label: qsTr("Name") + manager.dynTr
                        value: page.sam ? page.sam.name : ""
                    }
                    MessageRowItem {
                        width: parent.width
                        label: qsTr("Version") + manager.dynTr
                        value: page.sam ? page.sam.version : ""
                    }
                    MessageRowItem {
                        width: parent.width
                        label: qsTr("UID") + manager.dynTr
                        value: page.sam ? page.sam.uid : ""
                    }
                    MessageRowItem {
                        width: parent.width
                        label: qsTr("Mode") + manager.dynTr
                        value: page.sam ? page.sam.mode : ""
                    }
                    MessageRowItem {
                        width: parent.width
                        label: qsTr("Unlocked") + manager.dynTr
                        value: page.sam ? page.yesNo(page.sam.unlocked) : ""
                    }
                    MessageRowItem {
                        width: parent.width
                        label: qsTr("Production") + manager.dynTr
                        value: page.sam ? Qt.formatDate(page.sam.production, "yyyy-MM-dd") : ""
                    }
                }
            }
        }
    }

    Row {
        id: buttons
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 16
        // clear of the version label in the corner
        anchors.bottomMargin: 28
        spacing: 16

        CustomButton {
            objectName: "validatorProvisionButton"
            flat: true
            text: qsTr("PROVISIONING") + manager.dynTr
            onClicked: provisionPopup.open()
        }
        CustomButton {
            objectName: "validatorConfigButton"
            highlighted: true
            text: qsTr("CONFIGURATION") + manager.dynTr
            onClicked: page.StackView.view.push("qrc:/qml/screens/settings/ValidatorConfig.qml")
        }
    }

    ProvisionPopUp {
        id: provisionPopup
        objectName: "provisionPopup"
    }
}
