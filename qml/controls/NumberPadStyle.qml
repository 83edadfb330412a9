import QtQuick 2.15

// Sizes and colours of a NumberPad; keys stay large enough for a finger.
QtObject {
    property int keyWidth: 96
    property int keyHeight: 72
    property int spacing: 10
    property int fontPixelSize: 30
    property color keyColor: "#eceff1"
    property color keyPressedColor: "#b0bec5"
    property color textColor: "#263238"
    property color acceptColor: "#1976d2"
    property color acceptTextColor: "white"
}
