import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

// Exit gate: a message with the licence plates read at the front and rear
// of the vehicle.
Item {
    id: page

    property string message: qsTr("Have a nice trip") + manager.dynTr
    property string frontPlate
    property string rearPlate

    Column {
        anchors.centerIn: parent
        width: parent.width - 96
        spacing: Theme.spacingLarge

        Image {
            objectName: "exitIcon"
            anchors.horizontalCenter: parent.horizontalCenter
            width: 128
            height: 128
            sourceSize.width: 128
            sourceSize.height: 128
            source: "qrc:/qml/images/car.png"
        }
        Label {
            objectName: "exitMessage"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: page.message
            font.pixelSize: Theme.fontTitle
            font.bold: true
            color: Theme.text
        }
        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 48

            Repeater {
                model: [
                    { name: "exitFrontPlate", title: QT_TR_NOOP("Front plate"), plate: page.frontPlate },
                    { name: "exitRearPlate", title: QT_TR_NOOP("Rear plate"), plate: page.rearPlate }
                ]

                Column {
                    spacing: Theme.spacingSmall

                    Label {
                        text: qsTr(modelData.title) + manager.dynTr
                        font.pixelSize: Theme.fontLarge
                        color: Theme.textMuted
                    }
                    Rectangle {
                        width: 280
                        height: 64
                        radius: 6
                        color: Theme.panelLight
                        border.color: Theme.text
                        border.width: 3

                        Label {
                            objectName: modelData.name
                            anchors.centerIn: parent
                            text: modelData.plate !== "" ? modelData.plate : "-"
                            font.pixelSize: Theme.fontTitle
                            font.bold: true
                            font.letterSpacing: Theme.spacingTight
                            color: Theme.text
                        }
                    }
                }
            }
        }
    }
}
