import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// Back-light brightness and mode, display power-off on the fault screens and
// the mouse cursor.
SettingsPage {
    id: page

    objectName: "displayPage"
    title: qsTr("Display") + manager.dynTr

    readonly property bool automatic: board.displayBrightnessMode === "auto"

    // Live brightness and light-sensor values while the page is on top.
    StackView.onActivated: board.monitor(1000)
    StackView.onDeactivated: board.monitor(0)

    SettingsHeading {
        text: qsTr("Brightness") + manager.dynTr
    }

    SettingsRow {
        title: qsTr("Automatic brightness") + manager.dynTr
        description: qsTr("Ambient light: %1%").arg(board.ambientLightSensor) + manager.dynTr

        Switch {
            objectName: "brightnessModeSwitch"
            height: 56
            checked: page.automatic
            onToggled: {
                board.displayBrightnessMode = checked ? "auto" : "manual"
                // The board has the last word.
                checked = Qt.binding(() => page.automatic)
            }
        }
    }

    SettingsRow {
        title: qsTr("Brightness") + manager.dynTr
        description: page.automatic ? qsTr("Set by the light sensor") + manager.dynTr : ""

        Image {
            anchors.verticalCenter: parent.verticalCenter
            width: 32
            height: 32
            sourceSize: Qt.size(64, 64)
            source: "qrc:/qml/images/Icons/sun.svg"
        }
        Slider {
            objectName: "brightnessSlider"
            width: 360
            height: 56
            from: 0
            to: 100
            stepSize: 5
            snapMode: Slider.SnapAlways
            enabled: !page.automatic
            value: board.displayBrightness
            onMoved: board.displayBrightness = value
            onPressedChanged: {
                if (!pressed)
                    value = Qt.binding(() => board.displayBrightness)
            }
        }
        Label {
            objectName: "brightnessLabel"
            anchors.verticalCenter: parent.verticalCenter
            width: 64
            horizontalAlignment: Text.AlignRight
            text: board.displayBrightness + "%"
            font.pixelSize: Theme.fontLarge
            color: Theme.textSecondary
        }
    }

    SettingsHeading {
        text: qsTr("Power and cursor") + manager.dynTr
    }

    SettingsRow {
        title: qsTr("Display off after (minutes)") + manager.dynTr
        description: qsTr("On the out-of-order and out-of-service screens; 0 keeps it on") + manager.dynTr

        SpinBox {
            objectName: "displayOffSpinBox"
            height: 56
            from: 0
            to: 120
            font.pixelSize: Theme.fontLarge
            value: manager.displayOffMin
            onValueModified: {
                manager.displayOffMin = value
                value = Qt.binding(() => manager.displayOffMin)
            }
        }
    }

    SettingsRow {
        title: qsTr("Show mouse cursor") + manager.dynTr

        Switch {
            objectName: "showCursorSwitch"
            height: 56
            checked: manager.showCursor
            onToggled: {
                manager.showCursor = checked
                checked = Qt.binding(() => manager.showCursor)
            }
        }
    }
}
