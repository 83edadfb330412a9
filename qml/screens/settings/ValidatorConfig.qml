import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// Edits the validation service's configuration and the terminal's own
// fault-screen and shutdown settings. Nothing is written before SAVE; on
// leaving, the service's configuration is asked for again so that unsaved
// edits do not linger in the shared object.
SettingsPage {
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

    TextBox {
        id: urlBox
        objectName: "configObcUrl"
        Layout.fillWidth: true
        Layout.bottomMargin: Theme.spacingSmall
        label: qsTr("OBC URL") + manager.dynTr
        placeholderText: "mqtt://host:port"
        hint: qsTr("mqtt://[user[:password]@]host[:port]") + manager.dynTr
        error: page.result === "invalid" ? qsTr("Invalid OBC URL") + manager.dynTr : ""
        inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
        onTextChanged: if (page.result === "invalid") page.result = ""
    }

    SettingsRow {
        title: qsTr("Pass-back time (seconds)") + manager.dynTr
        SpinBox {
            id: passbackSpin
            objectName: "configPassback"
            from: 0
            // Wide, so that saving never clips a configured value.
            to: 86400
            editable: true
            font.pixelSize: Theme.fontControl
        }
    }
    SettingsRow {
        title: qsTr("Pass-back for QR tickets") + manager.dynTr
        Switch {
            id: qrSwitch
            objectName: "configPassbackQr"
            implicitHeight: Theme.controlHeight
        }
    }
    SettingsRow {
        title: qsTr("Show error description") + manager.dynTr
        Switch {
            id: errorDescSwitch
            objectName: "configShowErrorDesc"
            implicitHeight: Theme.controlHeight
        }
    }
    SettingsRow {
        title: qsTr("Shutdown delay after ignition off (seconds)") + manager.dynTr
        SpinBox {
            id: shutdownSpin
            objectName: "configShutdownDelay"
            from: 0
            to: 86400
            stepSize: 10
            editable: true
            font.pixelSize: Theme.fontControl
        }
    }

    actions: [
        Label {
            objectName: "configResult"
            anchors.verticalCenter: parent.verticalCenter
            text: (page.result === "saved" ? qsTr("Saved") : "") + manager.dynTr
            font.pixelSize: Theme.fontLarge
            color: Theme.ok
        },
        CustomButton {
            objectName: "configReloadButton"
            flat: true
            text: qsTr("RELOAD") + manager.dynTr
            onClicked: {
                page.result = ""
                validatorManager.refreshConfig()
                page.load()
            }
        },
        CustomButton {
            objectName: "configSaveButton"
            highlighted: true
            text: qsTr("SAVE") + manager.dynTr
            onClicked: page.save()
        }
    ]
}
