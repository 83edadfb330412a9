import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

ApplicationWindow {
    width: 1024
    height: 600
    visible: true
    Material.theme: Material.Light

    Label {
        anchors.centerIn: parent
        text: "LTXGTerminal"
    }
}
