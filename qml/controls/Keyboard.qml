import QtQuick 2.15
import QtQuick.VirtualKeyboard 2.15
import QtQuick.VirtualKeyboard.Settings 2.15

// Qt's on-screen keyboard, docked at the bottom of the window while a field
// has the focus, in the language of the user interface.
Item {
    id: dock

    readonly property bool active: panel.active
    readonly property real panelHeight: panel.height

    InputPanel {
        id: panel

        objectName: "keyboard"
        width: dock.width
        y: active ? dock.height - height : dock.height
        visible: active
    }

    Binding {
        target: VirtualKeyboardSettings
        property: "locale"
        value: manager.language
    }
    Component.onCompleted: VirtualKeyboardSettings.activeLocales = ["en_US", "el_GR"]
}
