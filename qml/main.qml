import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "controls"

ApplicationWindow {
    id: window

    width: 1024
    height: 600
    visible: true
    title: "LTXGTerminal"
    color: Theme.background
    font.family: "DejaVu Sans"

    Material.theme: Material.Light
    Material.accent: Theme.accent

    property string currentScreen: "Busy"

    // Screen names the manager sets, with their pages. A name missing here
    // leaves the area below the header empty.
    readonly property var pages: [
        { name: "InitPage", source: "qrc:/qml/screens/InitPage.qml" },
        { name: "Busy", source: "qrc:/qml/screens/Busy.qml" },
        { name: "EntryGate", source: "qrc:/qml/screens/EntryGate.qml" },
        { name: "ExitGate", source: "qrc:/qml/screens/ExitGate.qml" },
        { name: "ScreenSaver", source: "qrc:/qml/screens/ScreenSaver.qml" },
        { name: "OutOfOrder", source: "qrc:/qml/screens/OutOfOrder.qml" },
        { name: "OutOfService", source: "qrc:/qml/screens/OutOfService.qml" },
        { name: "Invalid", source: "qrc:/qml/screens/Invalid.qml" },
        { name: "Login", source: "qrc:/qml/screens/Login.qml" },
        { name: "Settings", source: "qrc:/qml/screens/settings/Main.qml" }
    ]

    header: Header {
        objectName: "header"
        visible: window.currentScreen !== "Settings" && window.currentScreen !== "ScreenSaver"
        onMaintenanceRequested: manager.setMaintenanceScreen()
    }

    Connections {
        target: manager
        function onScreenChanged() {
            console.info("[QML] Screen changed : " + manager.screen)
            window.currentScreen = manager.screen
        }
        function onMessageChanged() {
            console.info("[QML] Message : " + manager.message)
        }
        function onResetInitialScreen() {
            window.currentScreen = "EntryGate"
        }
        function onErrorOccured(error) {
            console.info("[QML] Error occured : " + error)
            window.showError(error)
        }
        function onLanguageChanged() {
            window.locale = Qt.locale(manager.language)
        }
    }

    // How far the pages move up so that the field being edited stays above
    // the on-screen keyboard; nothing once it closes.
    property real keyboardShift: 0

    function fitKeyboard() {
        const panel = keyboardLoader.item
        const field = window.activeFocusItem
        if (!panel || !panel.active || !field) {
            keyboardShift = 0
            return
        }
        const bottom = field.mapToItem(null, 0, field.height).y + keyboardShift
        keyboardShift = Math.max(0, bottom + 16 - (window.height - panel.panelHeight))
    }
    onActiveFocusItemChanged: {
        if (activeFocusItem && activeFocusItem.inputMethodHints !== undefined)
            keyboardWanted = true
        fitKeyboard()
    }
    // The keyboard is made when a text field first takes the focus: the
    // passenger screens never need it, and it weighs on the start-up.
    property bool keyboardWanted: false

    // Qt's virtual keyboard, where it is the input method; over everything,
    // pop-ups included.
    Loader {
        id: keyboardLoader
        objectName: "keyboardLoader"
        parent: Overlay.overlay
        anchors.fill: parent
        z: 10000
        active: window.keyboardWanted && typeof qtVirtualKeyboard !== "undefined" && qtVirtualKeyboard
        source: "qrc:/qml/controls/Keyboard.qml"
    }
    Connections {
        target: keyboardLoader.item
        function onActiveChanged() { window.fitKeyboard() }
    }

    // Each page is created the first time it is shown and then kept;
    // switching only changes which one is visible. Start-up builds one page.
    Item {
        objectName: "pageArea"
        anchors.fill: parent
        transform: Translate { y: -window.keyboardShift }

        Repeater {
            model: window.pages

            Loader {
                readonly property bool current: modelData.name === window.currentScreen

                objectName: "page" + modelData.name
                anchors.fill: parent
                source: modelData.source
                active: false
                visible: current
                onCurrentChanged: if (current) active = true
                Component.onCompleted: active = current
            }
        }
    }

    Label {
        objectName: "versionLabel"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 6
        z: 1
        text: qsTr("v%1").arg(Qt.application.version) + manager.dynTr
        font.pixelSize: Theme.fontCaption
        color: Theme.faint
    }

    // The error dialog, its buttons and their style are loaded the first time
    // an error is shown: start-up does not wait for them.
    property var errorPopup: null

    function showError(error) {
        if (!errorPopup) {
            const component = Qt.createComponent("qrc:/qml/controls/CustomPopup.qml")
            errorPopup = component.createObject(window.contentItem, {
                objectName: "errorPopup",
                title: Qt.binding(function() { return qsTr("Error") + manager.dynTr })
            })
        }
        // Texts the manager raises are its English sources: shown translated,
        // and again in another language when it changes.
        errorPopup.text = Qt.binding(function() { return qsTranslate("GUIManager", error) + manager.dynTr })
        errorPopup.open()
    }

    // Covers header and pages without taking input; only sets the cursor.
    MouseArea {
        objectName: "cursorArea"
        parent: window.contentItem.parent
        anchors.fill: parent
        z: 1000
        acceptedButtons: Qt.NoButton
        cursorShape: manager.showCursor ? Qt.ArrowCursor : Qt.BlankCursor
    }
}
