import QtQuick 2.15
import "../controls"

// The validation service does not know this terminal yet: the technician
// needs its serial number and address to register it.
MessageScreen {
    readonly property var ipv4: network.primaryConnection ? network.primaryConnection.ipv4 : null

    icon: "qrc:/qml/images/warning.png"
    title: qsTr("Unregistered device") + manager.dynTr
    titleColor: Theme.warning
    message: qsTr("Serial number: %1").arg(manager.deviceId !== "" ? manager.deviceId : "-") + "\n"
             + qsTr("IP address: %1").arg(ipv4 && ipv4.address !== "" ? ipv4.address : "-") + manager.dynTr
}
