import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

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

    spacing: Theme.spacingTight

    Label {
        width: parent.width
        visible: text !== ""
        text: box.label
        wrapMode: Text.Wrap
        font.pixelSize: Theme.fontBody
        color: Theme.textMuted
    }
    TextField {
        id: field
        objectName: box.objectName !== "" ? box.objectName + "Field" : ""
        width: parent.width
        implicitHeight: Theme.controlHeight
        font.pixelSize: Theme.fontControl
        selectByMouse: true
        onAccepted: box.accepted()
    }
    Label {
        width: parent.width
        visible: text !== ""
        text: box.error !== "" ? box.error : box.hint
        wrapMode: Text.Wrap
        font.pixelSize: Theme.fontSmall
        color: box.error !== "" ? Theme.error : Theme.hint
    }
}
