import QtQuick 2.15
import "."

// Sizes and colours of a NumberPad; keys stay large enough for a finger.
QtObject {
    property int keyWidth: 96
    property int keyHeight: 72
    property int spacing: 10
    property int fontPixelSize: 30
    property color keyColor: Theme.panel
    property color keyPressedColor: Theme.pressed
    property color textColor: Theme.text
    property color acceptColor: Theme.accent
    property color acceptTextColor: Theme.textOnAccent
}
