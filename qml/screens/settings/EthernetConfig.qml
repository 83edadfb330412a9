import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// Edits the wired interface's stored configuration: automatic (DHCP) or
// static addresses. Nothing is sent until SAVE; the service then publishes
// what it stored.
SettingsPage {
    id: page

    objectName: "ethernetConfigPage"
    title: qsTr("Ethernet configuration") + manager.dynTr

    readonly property var ethernet: network.ethernet
    readonly property var config: ethernet ? ethernet.config : null

    // What the fields were last loaded with; edits are measured against it.
    property var loaded: ({})
    property string method: ""

    readonly property bool manual: method === "manual"
    readonly property bool edited: method !== loaded.method || addressField.text !== loaded.address
                                   || netmaskField.text !== loaded.mask || gatewayField.text !== loaded.gateway
                                   || dns0Field.text !== loaded.dns0 || dns1Field.text !== loaded.dns1
    readonly property bool valid: (method === "auto" || method === "manual")
                                  && (!manual || (isAddress(addressField.text) && isNetmask(netmaskField.text)
                                                  && optionalAddress(gatewayField.text)
                                                  && optionalAddress(dns0Field.text)
                                                  && optionalAddress(dns1Field.text)))

    function isAddress(text) {
        return /^((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])\.){3}(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])$/.test(text)
    }
    function optionalAddress(text) {
        return text === "" || isAddress(text)
    }
    // Ones from the left, then zeros only.
    function isNetmask(text) {
        if (!isAddress(text))
            return false
        const bits = text.split(".").reduce((value, part) => value * 256 + Number(part), 0)
        const inverted = 0xffffffff - bits
        return bits !== 0 && (inverted & (inverted + 1)) === 0
    }

    function load() {
        const values = {
            method: page.ethernet ? page.ethernet.method : "",
            address: page.config ? page.config.address : "",
            mask: page.config ? page.config.mask : "",
            gateway: page.config ? page.config.gateway : "",
            dns0: page.config ? page.config.dns0 : "",
            dns1: page.config ? page.config.dns1 : ""
        }
        page.method = values.method
        addressField.text = values.address
        netmaskField.text = values.mask
        gatewayField.text = values.gateway
        dns0Field.text = values.dns0
        dns1Field.text = values.dns1
        page.loaded = values
    }

    function save() {
        if (!page.ethernet || !page.valid)
            return
        if (page.manual) {
            page.config.address = addressField.text
            page.config.mask = netmaskField.text
            page.config.gateway = gatewayField.text
            page.config.dns0 = dns0Field.text
            page.config.dns1 = dns1Field.text
        }
        page.ethernet.method = page.method
        page.ethernet.save()
        if (page.StackView.view)
            page.StackView.view.pop()
    }

    Component.onCompleted: load()

    // What the service stored replaces the fields, unless the technician is
    // in the middle of an edit.
    Connections {
        target: page.ethernet
        function onConfigChanged() {
            if (!page.edited)
                page.load()
        }
        function onMethodChanged() {
            if (!page.edited)
                page.load()
        }
    }

    SettingsHeading {
        text: qsTr("Addressing") + manager.dynTr
    }

    SettingsRow {
        title: qsTr("Method") + manager.dynTr

        RadioButton {
            objectName: "methodAuto"
            height: 56
            text: qsTr("Automatic (DHCP)") + manager.dynTr
            font.pixelSize: Theme.fontBody
            // Shows the choice without keeping a state of its own.
            checkable: false
            checked: page.method === "auto"
            onClicked: page.method = "auto"
        }
        RadioButton {
            objectName: "methodManual"
            height: 56
            text: qsTr("Static") + manager.dynTr
            font.pixelSize: Theme.fontBody
            checkable: false
            checked: page.method === "manual"
            onClicked: page.method = "manual"
        }
    }

    SettingsHeading {
        text: qsTr("Static addresses") + manager.dynTr
    }

    SettingsRow {
        title: qsTr("IP address") + manager.dynTr
        description: page.manual && !page.isAddress(addressField.text) ? qsTr("Required, e.g. 192.168.1.20") + manager.dynTr : ""

        AddressField {
            id: addressField
            objectName: "addressField"
            enabled: page.manual
            placeholderText: "192.168.1.20"
        }
    }
    SettingsRow {
        title: qsTr("Netmask") + manager.dynTr
        description: page.manual && !page.isNetmask(netmaskField.text) ? qsTr("Required, e.g. 255.255.255.0") + manager.dynTr : ""

        AddressField {
            id: netmaskField
            objectName: "netmaskField"
            enabled: page.manual
            placeholderText: "255.255.255.0"
        }
    }
    SettingsRow {
        title: qsTr("Gateway") + manager.dynTr
        description: page.manual && !page.optionalAddress(gatewayField.text) ? qsTr("Not a valid address") + manager.dynTr : ""

        AddressField {
            id: gatewayField
            objectName: "gatewayField"
            enabled: page.manual
        }
    }
    SettingsRow {
        title: qsTr("DNS server 1") + manager.dynTr
        description: page.manual && !page.optionalAddress(dns0Field.text) ? qsTr("Not a valid address") + manager.dynTr : ""

        AddressField {
            id: dns0Field
            objectName: "dns0Field"
            enabled: page.manual
        }
    }
    SettingsRow {
        title: qsTr("DNS server 2") + manager.dynTr
        description: page.manual && !page.optionalAddress(dns1Field.text) ? qsTr("Not a valid address") + manager.dynTr : ""

        AddressField {
            id: dns1Field
            objectName: "dns1Field"
            enabled: page.manual
        }
    }

    RowLayout {
        Layout.alignment: Qt.AlignRight
        Layout.topMargin: 16
        spacing: Theme.spacing

        Button {
            objectName: "ethernetRevertButton"
            implicitHeight: Theme.rowHeight
            flat: true
            enabled: page.edited
            text: qsTr("UNDO CHANGES") + manager.dynTr
            font.pixelSize: Theme.fontLarge
            onClicked: page.load()
        }
        Button {
            objectName: "ethernetSaveButton"
            implicitHeight: Theme.rowHeight
            highlighted: true
            enabled: page.edited && page.valid
            icon.source: "qrc:/qml/images/Icons/save.svg"
            text: qsTr("SAVE") + manager.dynTr
            font.pixelSize: Theme.fontLarge
            onClicked: page.save()
        }
    }
}
