import QtQuick 2.15
import QtQuick.Controls 2.15

// A labelled text field for the settings pages; `error` shows a complaint
// below it instead of the hint.
Column {
    id: box

    property string label
    property string hint
    property string error
    property alias text: field.text
    property alias placeholderText: field.placeholderText
    property alias inputMethodHints: field.inputMethodHints
    property alias validator: field.validator
    property alias field: field

    signal accepted()

    spacing: 4

    Label {
        width: parent.width
        visible: text !== ""
        text: box.label
        wrapMode: Text.Wrap
        font.pixelSize: 18
        color: "#546e7a"
    }
    TextField {
        id: field
        objectName: box.objectName !== "" ? box.objectName + "Field" : ""
        width: parent.width
        implicitHeight: 56
        font.pixelSize: 22
        selectByMouse: true
        onAccepted: box.accepted()
    }
    Label {
        width: parent.width
        visible: text !== ""
        text: box.error !== "" ? box.error : box.hint
        wrapMode: Text.Wrap
        font.pixelSize: 16
        color: box.error !== "" ? "#d32f2f" : "#78909c"
    }
}
