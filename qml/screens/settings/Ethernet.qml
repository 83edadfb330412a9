import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// The wired interface as the network service reports it, with its live
// addresses; the configuration is edited on the next page.
SettingsPage {
    id: page

    objectName: "ethernetPage"
    title: qsTr("Ethernet") + manager.dynTr

    readonly property var ethernet: network.ethernet
    readonly property var address: ethernet ? ethernet.ipv4 : null

    function methodName(method) {
        switch (method) {
        case "auto": return qsTr("Automatic (DHCP)") + manager.dynTr
        case "manual": return qsTr("Static") + manager.dynTr
        }
        return method
    }

    // Fresh state and configuration each time the page comes on top.
    StackView.onActivated: {
        if (page.ethernet)
            page.ethernet.reset()
    }

    SettingsHeading {
        text: qsTr("Interface") + manager.dynTr
    }

    SettingsRow {
        objectName: "ethernetInterface"
        readOnly: true
        title: qsTr("Interface") + manager.dynTr
        value: page.ethernet ? page.ethernet.interface : ""
    }
    SettingsRow {
        objectName: "ethernetState"
        readOnly: true
        title: qsTr("State") + manager.dynTr
        value: page.ethernet ? page.ethernet.state : ""
    }
    SettingsRow {
        objectName: "ethernetReason"
        readOnly: true
        visible: value !== ""
        title: qsTr("Reason") + manager.dynTr
        value: page.ethernet ? page.ethernet.reason : ""
    }
    SettingsRow {
        objectName: "ethernetMac"
        readOnly: true
        title: qsTr("MAC address") + manager.dynTr
        value: page.ethernet ? page.ethernet.mac : ""
    }
    SettingsRow {
        objectName: "ethernetMethod"
        readOnly: true
        title: qsTr("Addressing") + manager.dynTr
        value: page.ethernet ? page.methodName(page.ethernet.method) : ""
    }

    SettingsHeading {
        text: qsTr("IPv4") + manager.dynTr
    }

    SettingsRow {
        objectName: "ethernetAddress"
        readOnly: true
        title: qsTr("IP address") + manager.dynTr
        value: page.address ? page.address.address : ""
    }
    SettingsRow {
        objectName: "ethernetNetmask"
        readOnly: true
        title: qsTr("Netmask") + manager.dynTr
        value: page.address ? page.address.mask : ""
    }
    SettingsRow {
        objectName: "ethernetGateway"
        readOnly: true
        title: qsTr("Gateway") + manager.dynTr
        value: page.address ? page.address.gateway : ""
    }
    SettingsRow {
        objectName: "ethernetDns"
        readOnly: true
        title: qsTr("DNS servers") + manager.dynTr
        value: page.address ? [page.address.dns0, page.address.dns1].filter(s => s !== "").join(", ") : ""
    }

    Button {
        objectName: "ethernetConfigButton"
        Layout.alignment: Qt.AlignRight
        Layout.topMargin: 16
        implicitHeight: Theme.rowHeight
        enabled: page.ethernet !== null
        highlighted: true
        icon.source: "qrc:/qml/images/Icons/ethernet.svg"
        text: qsTr("CONFIGURE") + manager.dynTr
        font.pixelSize: Theme.fontLarge
        onClicked: {
            if (page.StackView.view)
                page.StackView.view.push("qrc:/qml/screens/settings/EthernetConfig.qml")
        }
    }
}
