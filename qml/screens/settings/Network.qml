import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// Overall network state and the primary connection, with the way to the
// Ethernet pages.
SettingsPage {
    id: page

    objectName: "networkPage"
    title: qsTr("Network") + manager.dynTr

    readonly property var primary: network.primaryConnection
    readonly property var address: primary ? primary.ipv4 : null

    SettingsHeading {
        text: qsTr("Status") + manager.dynTr
    }

    SettingsRow {
        objectName: "networkState"
        readOnly: true
        title: qsTr("State") + manager.dynTr
        value: network.connectionState
    }
    SettingsRow {
        objectName: "networkConnectivity"
        readOnly: true
        title: qsTr("Connectivity") + manager.dynTr
        value: network.connectivity
    }
    SettingsRow {
        objectName: "networkHostname"
        readOnly: true
        title: qsTr("Host name") + manager.dynTr
        value: network.hostname
    }

    SettingsHeading {
        text: qsTr("Primary connection") + manager.dynTr
    }

    SettingsRow {
        objectName: "primaryInterface"
        readOnly: true
        title: qsTr("Interface") + manager.dynTr
        value: page.primary ? page.primary.interface : ""
    }
    SettingsRow {
        objectName: "primaryType"
        readOnly: true
        title: qsTr("Type") + manager.dynTr
        value: page.primary ? page.primary.type : ""
    }
    SettingsRow {
        objectName: "primaryState"
        readOnly: true
        title: qsTr("State") + manager.dynTr
        value: page.primary ? page.primary.state : ""
    }
    SettingsRow {
        objectName: "primaryAddress"
        readOnly: true
        title: qsTr("IP address") + manager.dynTr
        value: page.address ? page.address.address : ""
    }
    SettingsRow {
        objectName: "primaryGateway"
        readOnly: true
        title: qsTr("Gateway") + manager.dynTr
        value: page.address ? page.address.gateway : ""
    }

    SettingsHeading {
        text: qsTr("Interfaces") + manager.dynTr
    }

    ItemDelegate {
        objectName: "ethernetButton"
        Layout.fillWidth: true
        implicitHeight: 72
        enabled: network.ethernet !== null
        icon.source: "qrc:/qml/images/Icons/ethernet.svg"
        icon.width: 32
        icon.height: 32
        text: qsTr("Ethernet") + manager.dynTr
        font.pixelSize: Theme.fontLarge
        onClicked: {
            if (page.StackView.view)
                page.StackView.view.push("qrc:/qml/screens/settings/Ethernet.qml")
        }

        Label {
            anchors.right: parent.right
            anchors.rightMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            text: network.ethernet ? network.ethernet.state : ""
            font.pixelSize: Theme.fontBody
            color: Theme.hint
        }
    }
}
