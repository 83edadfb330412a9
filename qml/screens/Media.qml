import QtQuick 2.15

// Plays the terminal's media in turn while it is shown. The terminal ships
// no video, so the images are the whole show.
Item {
    id: media

    property var sources: [
        "qrc:/qml/images/Icons/kivo-logo-top-gr.svg",
        "qrc:/qml/images/card.png",
        "qrc:/qml/images/logo.png"
    ]
    property int interval: 3000
    property int index: 0

    Image {
        objectName: "mediaImage"
        anchors.fill: parent
        anchors.margins: 48
        fillMode: Image.PreserveAspectFit
        sourceSize.width: 512
        source: media.sources.length > 0 ? media.sources[media.index % media.sources.length] : ""
    }

    Timer {
        objectName: "mediaTimer"
        interval: media.interval
        repeat: true
        running: media.visible && media.sources.length > 1
        onTriggered: media.index = (media.index + 1) % media.sources.length
    }
}
