import QtQuick 2.15
import "../controls"

// Fault page; the message line carries the reason the manager reports.
MessageScreen {
    icon: "qrc:/qml/images/warning.png"
    title: qsTr("Out of order") + manager.dynTr
    message: qsTranslate("GUIManager", manager.message) + manager.dynTr
    titleColor: Theme.warning
}
