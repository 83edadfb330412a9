import QtQuick 2.15

// The validation service has taken the terminal out of service.
MessageScreen {
    icon: "qrc:/qml/images/out-of-service.png"
    title: qsTr("Out of service") + manager.dynTr
    message: qsTranslate("GUIManager", manager.message) + manager.dynTr
}
