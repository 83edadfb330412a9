import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// The terminal's self-test: live check results, the checks the technician
// confirms by hand, and the test report with its QR code.
SettingsPage {
    id: page

    title: qsTr("Diagnostics") + manager.dynTr

    // Results come as "OK", "ERROR" or "MISSING" (the report keeps them so);
    // the page shows them in the language of the interface.
    readonly property var resultWords: [QT_TR_NOOP("OK"), QT_TR_NOOP("ERROR"), QT_TR_NOOP("MISSING")]
    function result(property) {
        const value = diagnostics ? diagnostics[property] : ""
        return (resultWords.indexOf(value) >= 0 ? qsTr(value) : value) + manager.dynTr
    }
    // A fault stands out in any language.
    function resultColor(property) {
        switch (diagnostics ? diagnostics[property] : "") {
        case "OK": return Theme.ok
        case "ERROR": return Theme.error
        case "MISSING": return Theme.warning
        }
        return Theme.textSecondary
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

    SettingsHeading {
        text: qsTr("Automatic checks") + manager.dynTr
    }
    Grid {
        id: automatic
        Layout.fillWidth: true
        columns: 2
        columnSpacing: Theme.spacingHuge

        Repeater {
            model: page.automaticChecks

            SettingsRow {
                objectName: "diag_" + modelData.property
                width: (automatic.width - automatic.columnSpacing) / 2
                readOnly: true
                title: modelData.label
                value: page.result(modelData.property)
                valueColor: page.resultColor(modelData.property)
            }
        }
    }

    SettingsHeading {
        text: qsTr("Operator checks") + manager.dynTr
    }
    Repeater {
        model: page.manualChecks

        SettingsRow {
            title: modelData.label

            Label {
                objectName: "diag_" + modelData.property + "Value"
                anchors.verticalCenter: parent.verticalCenter
                width: 120
                horizontalAlignment: Text.AlignHCenter
                text: page.result(modelData.property) || "-"
                elide: Text.ElideRight
                font.pixelSize: Theme.fontLarge
                font.bold: true
                color: page.resultColor(modelData.property)
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

    actions: CustomButton {
        objectName: "diagnosticsFinishButton"
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
            color: reportPopup.succeeded ? Theme.text : Theme.error
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
