import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// Edits the validation service's configuration and the terminal's own
// fault-screen and shutdown settings. Nothing is written before SAVE; on
// leaving, the service's configuration is asked for again so that unsaved
// edits do not linger in the shared object.
Page {
    id: page

    title: qsTr("Validator configuration") + manager.dynTr

    // Empty until the service has sent its configuration.
    readonly property var config: validatorManager.config
    // "", "saved" or "invalid": the outcome of the last SAVE.
    property string result: ""

    // mqtt://[user[:password]@]host[:port] with a port that exists.
    function validUrl(text) {
        var match = /^mqtt:\/\/(?:[^\s@\/]+@)?([^\s:@\/]+)(?::(\d{1,5}))?\/?$/.exec(text)
        return match !== null && (match[2] === undefined || (Number(match[2]) > 0 && Number(match[2]) <= 65535))
    }

    function load() {
        urlBox.text = config ? String(config.obuUrl) : ""
        passbackSpin.value = config ? config.passbackSecs : 0
        qrSwitch.checked = config ? config.passbackQrEnabled : false
        errorDescSwitch.checked = manager.showErrorDesc
        shutdownSpin.value = manager.shutdownDelaySec
    }

    function save() {
        // A spin box commits typed digits only when it loses focus.
        forceActiveFocus()
        if (!validUrl(urlBox.text.trim())) {
            result = "invalid"
            return
        }
        if (config) {
            config.obuUrl = urlBox.text.trim()
            config.passbackSecs = passbackSpin.value
            config.passbackQrEnabled = qrSwitch.checked
            validatorManager.saveConfig()
        }
        manager.showErrorDesc = errorDescSwitch.checked
        manager.shutdownDelaySec = shutdownSpin.value
        result = "saved"
    }

    Component.onCompleted: load()
    StackView.onDeactivated: validatorManager.refreshConfig()

    Connections {
        target: page.config
        // A fresh configuration from the service replaces what is shown,
        // unless the operator is editing.
        function onObuUrlChanged() { if (!urlBox.field.activeFocus) urlBox.text = String(page.config.obuUrl) }
        function onPassbackSecsChanged() { passbackSpin.value = page.config.passbackSecs }
        function onPassbackQrEnabledChanged() { qrSwitch.checked = page.config.passbackQrEnabled }
    }

    Flickable {
        anchors.fill: parent
        anchors.bottomMargin: footerRow.height + 36
        contentHeight: form.height + 24
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollIndicator.vertical: ScrollIndicator {}

        Column {
            id: form
            x: 24
            y: 12
            width: parent.width - 48
            spacing: 12

            TextBox {
                id: urlBox
                objectName: "configObcUrl"
                width: parent.width
                label: qsTr("OBC URL") + manager.dynTr
                placeholderText: "mqtt://host:port"
                hint: qsTr("mqtt://[user[:password]@]host[:port]") + manager.dynTr
                error: page.result === "invalid" ? qsTr("Invalid OBC URL") + manager.dynTr : ""
                inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
                onTextChanged: if (page.result === "invalid") page.result = ""
            }

            GridLayout {
                width: parent.width
                columns: 2
                columnSpacing: 24
                rowSpacing: 12

                Label {
                    Layout.fillWidth: true
                    text: qsTr("Pass-back time (seconds)") + manager.dynTr
                    wrapMode: Text.Wrap
                    font.pixelSize: 20
                }
                SpinBox {
                    id: passbackSpin
                    objectName: "configPassback"
                    from: 0
                    // Wide, so that saving never clips a configured value.
                    to: 86400
                    editable: true
                    font.pixelSize: 22
                }

                Label {
                    Layout.fillWidth: true
                    text: qsTr("Pass-back for QR tickets") + manager.dynTr
                    wrapMode: Text.Wrap
                    font.pixelSize: 20
                }
                Switch {
                    id: qrSwitch
                    objectName: "configPassbackQr"
                    implicitHeight: 56
                }

                Label {
                    Layout.fillWidth: true
                    text: qsTr("Show error description") + manager.dynTr
                    wrapMode: Text.Wrap
                    font.pixelSize: 20
                }
                Switch {
                    id: errorDescSwitch
                    objectName: "configShowErrorDesc"
                    implicitHeight: 56
                }

                Label {
                    Layout.fillWidth: true
                    text: qsTr("Shutdown delay after ignition off (seconds)") + manager.dynTr
                    wrapMode: Text.Wrap
                    font.pixelSize: 20
                }
                SpinBox {
                    id: shutdownSpin
                    objectName: "configShutdownDelay"
                    from: 0
                    to: 86400
                    stepSize: 10
                    editable: true
                    font.pixelSize: 22
                }
            }
        }
    }

    Row {
        id: footerRow
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 16
        // clear of the version label in the corner
        anchors.bottomMargin: 28
        spacing: 16

        Label {
            objectName: "configResult"
            anchors.verticalCenter: parent.verticalCenter
            text: (page.result === "saved" ? qsTr("Saved") : "") + manager.dynTr
            font.pixelSize: 20
            color: "#2e7d32"
        }
        CustomButton {
            objectName: "configReloadButton"
            flat: true
            text: qsTr("RELOAD") + manager.dynTr
            onClicked: {
                page.result = ""
                validatorManager.refreshConfig()
                page.load()
            }
        }
        CustomButton {
            objectName: "configSaveButton"
            highlighted: true
            text: qsTr("SAVE") + manager.dynTr
            onClicked: page.save()
        }
    }
}
