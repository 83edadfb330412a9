import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

// Digit keys with CLEAR and OK. Collects up to maxLength digits in `text`;
// OK emits accepted with them.
Grid {
    id: pad

    property string text
    property int maxLength: 8
    property NumberPadStyle style: NumberPadStyle {}

    signal accepted(string text)

    columns: 3
    spacing: style.spacing

    function clear() {
        text = ""
    }

    function press(key) {
        if (key === "clear")
            clear()
        else if (key === "ok")
            accepted(text)
        else if (text.length < maxLength)
            text += key
    }

    Repeater {
        model: ["1", "2", "3", "4", "5", "6", "7", "8", "9", "clear", "0", "ok"]

        AbstractButton {
            id: key

            readonly property bool isAccept: modelData === "ok"

            objectName: "numberPadKey_" + modelData
            width: pad.style.keyWidth
            height: pad.style.keyHeight
            enabled: modelData !== "ok" || pad.text !== ""
            text: modelData === "clear" ? qsTr("CLEAR") + manager.dynTr
                  : modelData === "ok" ? qsTr("OK") + manager.dynTr
                  : modelData
            font.pixelSize: modelData.length > 1 ? pad.style.fontPixelSize * 0.7 : pad.style.fontPixelSize

            background: Rectangle {
                radius: Theme.radiusLarge
                opacity: key.enabled ? 1.0 : 0.4
                color: key.isAccept ? pad.style.acceptColor
                       : key.pressed ? pad.style.keyPressedColor : pad.style.keyColor
            }
            contentItem: Label {
                text: key.text
                font: key.font
                // Longer words of other languages shrink to the key.
                leftPadding: 4
                rightPadding: 4
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: 12
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                color: key.isAccept ? pad.style.acceptTextColor : pad.style.textColor
            }

            onClicked: pad.press(modelData)
        }
    }
}
