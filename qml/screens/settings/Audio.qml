import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// Sound on or off (the board's mute switch), volume (the inspector's sound
// card) and a test sound.
SettingsPage {
    id: page

    objectName: "audioPage"
    title: qsTr("Audio") + manager.dynTr

    // The sound played for a valid ticket.
    readonly property string testSound: "/opt/kivo/ltxgterminalui/Valid.wav"

    SettingsHeading {
        text: qsTr("Sound") + manager.dynTr
    }

    SettingsRow {
        title: qsTr("Sound enabled") + manager.dynTr
        description: qsTr("Sounds of the validation results") + manager.dynTr

        Image {
            anchors.verticalCenter: parent.verticalCenter
            width: 32
            height: 32
            sourceSize: Qt.size(64, 64)
            source: board.audioEnabled ? "qrc:/qml/images/Icons/sound-on.svg" : "qrc:/qml/images/Icons/sound-off.svg"
        }
        Switch {
            objectName: "audioSwitch"
            height: 56
            checked: board.audioEnabled
            onToggled: {
                board.audioEnabled = checked
                // The board has the last word.
                checked = Qt.binding(() => board.audioEnabled)
            }
        }
    }

    SettingsRow {
        title: qsTr("Volume") + manager.dynTr

        Slider {
            id: volumeSlider
            objectName: "volumeSlider"
            width: 360
            height: 56
            from: 0
            to: 100
            stepSize: 5
            snapMode: Slider.SnapAlways
            value: inspector.audioVolume
            onMoved: inspector.audioVolume = value
            onPressedChanged: {
                if (!pressed)
                    value = Qt.binding(() => inspector.audioVolume)
            }
        }
        Label {
            objectName: "volumeLabel"
            anchors.verticalCenter: parent.verticalCenter
            width: 64
            horizontalAlignment: Text.AlignRight
            text: inspector.audioVolume + "%"
            font.pixelSize: Theme.fontLarge
            color: Theme.textSecondary
        }
    }

    SettingsRow {
        title: qsTr("Test sound") + manager.dynTr

        Button {
            objectName: "testSoundButton"
            height: 56
            icon.source: "qrc:/qml/images/Icons/play.svg"
            text: qsTr("PLAY") + manager.dynTr
            font.pixelSize: Theme.fontBody
            onClicked: inspector.audioPlay(page.testSound)
        }
    }
}
