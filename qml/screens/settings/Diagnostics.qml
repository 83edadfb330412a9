import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// The terminal's self-test: live check results, the checks the technician
// confirms by hand, and the test report with its QR code.
Page {
    id: page

    title: qsTr("Diagnostics") + manager.dynTr

    // Results come as "OK", "ERROR" or "MISSING" (the report keeps them so);
    // the page shows them in the language of the interface.
    readonly property var resultWords: [QT_TR_NOOP("OK"), QT_TR_NOOP("ERROR"), QT_TR_NOOP("MISSING")]
    function result(property) {
        const value = diagnostics ? diagnostics[property] : ""
        return (resultWords.indexOf(value) >= 0 ? qsTr(value) : value) + manager.dynTr
    }

    readonly property var diagnostics: manager.diagnostics

    readonly property var automaticChecks: [
        { property: "rtc", label: qsTr("RTC") + manager.dynTr },
        { property: "ethernet", label: qsTr("Ethernet") + manager.dynTr },
        { property: "usbHub", label: qsTr("USB Hub") + manager.dynTr },
        { property: "usbHost", label: qsTr("USB Host") + manager.dynTr },
        { property: "ftdi", label: qsTr("FTDI") + manager.dynTr },
        { property: "mPCIe1", label: qsTr("mPCIe #1") + manager.dynTr },
        { property: "touch", label: qsTr("Touch") + manager.dynTr },
        { property: "sdCard", label: qsTr("SD Card") + manager.dynTr },
        { property: "ignition", label: qsTr("Ignition") + manager.dynTr },
        { property: "temperature", label: qsTr("Temperature") + manager.dynTr },
        { property: "voltage", label: qsTr("Voltage") + manager.dynTr },
        { property: "rfidUsb", label: qsTr("RFID") + manager.dynTr },
        { property: "barcodeUsb", label: qsTr("Barcode") + manager.dynTr },
        { property: "sam", label: qsTr("SAM") + manager.dynTr },
        { property: "rfidService", label: qsTr("RFID Manager") + manager.dynTr },
        { property: "barcodeService", label: qsTr("Barcode Manager") + manager.dynTr },
        { property: "boardService", label: qsTr("Board Manager") + manager.dynTr }
    ]
    readonly property var manualChecks: [
        { property: "buzzer", label: qsTr("Buzzer") + manager.dynTr },
        { property: "leds", label: qsTr("Front LEDs") + manager.dynTr },
        { property: "speaker", label: qsTr("Speaker") + manager.dynTr },
        { property: "barcodeScan", label: qsTr("Barcode Scan") + manager.dynTr },
        { property: "cardScan", label: qsTr("Card Scan") + manager.dynTr },
        { property: "lightSensor", label: qsTr("Light Sensor") + manager.dynTr },
        { property: "rgbTest", label: qsTr("Display RGB Test") + manager.dynTr }
    ]

    // Checks run while the page is on top; the readers are switched on so
    // that a card shown to the reader counts as a card-scan pass.
    StackView.onActivated: {
        diagnostics.start()
        manager.holdReaders("diagnostics", true, true)
    }
    StackView.onDeactivated: {
        diagnostics.stop()
        manager.releaseReaders("diagnostics")
    }

    Connections {
        target: validatorManager
        function onCardDetected(uid, type) {
            if (page.StackView.status === StackView.Active)
                page.diagnostics.cardScan = "OK"
        }
    }

    Connections {
        target: page.diagnostics
        function onSaveReportFinished(result, message) {
            reportPopup.succeeded = result
            reportPopup.message = message
            reportPopup.qr = result ? page.diagnostics.generateQr() : ""
            reportPopup.open()
        }
    }

    Flickable {
        objectName: "diagnosticsFlickable"
        anchors.fill: parent
        anchors.bottomMargin: finishButton.height + 36
        contentHeight: content.height + 24
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollIndicator.vertical: ScrollIndicator {}

        Column {
            id: content
            x: 24
            y: 12
            width: parent.width - 48
            spacing: 8

            SettingsHeading {
                width: parent.width
                text: qsTr("Automatic checks") + manager.dynTr
            }
            Grid {
                width: parent.width
                columns: 2
                columnSpacing: 32

                Repeater {
                    model: page.automaticChecks

                    MessageRowItem {
                        objectName: "diag_" + modelData.property
                        width: (content.width - 32) / 2
                        label: modelData.label
                        value: page.result(modelData.property)
                    }
                }
            }

            SettingsHeading {
                width: parent.width
                text: qsTr("Operator checks") + manager.dynTr
            }
            Repeater {
                model: page.manualChecks

                RowLayout {
                    width: content.width
                    spacing: 16

                    MessageRowItem {
                        objectName: "diag_" + modelData.property
                        Layout.fillWidth: true
                        label: modelData.label
                        value: page.result(modelData.property)
                    }
                    CustomButton {
                        objectName: "diagOk_" + modelData.property
                        implicitWidth: 140
                        text: qsTr("OK") + manager.dynTr
                        onClicked: page.diagnostics[modelData.property] = "OK"
                    }
                    CustomButton {
                        objectName: "diagError_" + modelData.property
                        implicitWidth: 140
                        text: qsTr("ERROR") + manager.dynTr
                        onClicked: page.diagnostics[modelData.property] = "ERROR"
                    }
                }
            }
        }
    }

    CustomButton {
        id: finishButton
        objectName: "diagnosticsFinishButton"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 16
        // clear of the version label in the corner
        anchors.bottomMargin: 28
        highlighted: true
        text: qsTr("FINISH") + manager.dynTr
        onClicked: page.diagnostics.saveReport()
    }

    SettingsPopUp {
        id: reportPopup
        objectName: "reportPopup"

        property bool succeeded: false
        property string message
        property string qr

        title: qsTr("Test report") + manager.dynTr

        Label {
            objectName: "reportMessage"
            width: parent.width
            wrapMode: Text.WrapAnywhere
            text: reportPopup.message
            color: reportPopup.succeeded ? "#263238" : "#d32f2f"
        }
        ImageBox {
            objectName: "reportQr"
            anchors.horizontalCenter: parent.horizontalCenter
            visible: reportPopup.succeeded && reportPopup.qr !== ""
            width: 280
            height: 280
            source: visible ? reportPopup.qr : ""
        }
    }
}
