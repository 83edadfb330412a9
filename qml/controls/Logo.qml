import QtQuick 2.15

// The kivo logo (images/logo.svg), drawn with plain items: the header shows it
// on every passenger screen, and the first picture a window decodes makes Qt
// load every image-format plugin (SVG support and QtWidgets among them).
Item {
    id: logo

    implicitWidth: 300 * factor
    implicitHeight: 100 * factor
    // The drawing below is 300 x 100, like the picture.
    property real factor: height > 0 ? height / 100 : 1

    Item {
        width: 300
        height: 100
        transformOrigin: Item.TopLeft
        scale: logo.factor

        Rectangle {
            x: 5
            y: 15
            width: 70
            height: 70
            radius: 14
            color: "#1e88e5"
        }

        // The K: three strokes 9 wide with round ends.
        Rectangle {
            x: 20.5
            y: 27.5
            width: 9
            height: 45
            radius: 4.5
            color: "white"
        }
        Repeater {
            model: [-1, 1]

            Rectangle {
                readonly property real length: Math.sqrt(22 * 22 + 18 * 18) + 9
                x: 36 - length / 2
                y: 50 + modelData * 9 - 4.5
                width: length
                height: 9
                radius: 4.5
                rotation: modelData * Math.atan2(18, 22) * 180 / Math.PI
                color: "white"
                antialiasing: true
            }
        }

        Text {
            x: 90
            y: 68 - baselineOffset
            text: "kivo"
            font.family: "DejaVu Sans"
            font.pixelSize: 44
            font.bold: true
            color: "#263238"
        }
    }
}
