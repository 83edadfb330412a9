import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "."

// One setting: its name, with an optional hint below, on the left; on the
// right either the controls placed inside the row or, for a read-only row,
// `value` (a dash while it is unknown).
Item {
    id: row

    property string title
    property string description
    property string value
    property color valueColor: Theme.textSecondary
    property bool readOnly: false
    default property alias controls: holder.data

    Layout.fillWidth: true
    implicitHeight: Math.max(Theme.rowHeight, texts.implicitHeight + Theme.spacing,
                             holder.implicitHeight + Theme.spacing)

    ColumnLayout {
        id: texts
        anchors.left: parent.left
        anchors.right: row.readOnly ? valueLabel.left : holder.left
        anchors.rightMargin: Theme.spacing
        anchors.verticalCenter: parent.verticalCenter
        spacing: Theme.spacingTight

        Label {
            Layout.fillWidth: true
            text: row.title
            wrapMode: Text.Wrap
            font.pixelSize: Theme.fontLarge
            color: Theme.text
        }
        Label {
            Layout.fillWidth: true
            visible: text !== ""
            text: row.description
            wrapMode: Text.Wrap
            font.pixelSize: Theme.fontSmall
            color: Theme.hint
        }
    }

    Row {
        id: holder
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        spacing: Theme.spacing
        visible: !row.readOnly
    }

    // One line, so that the row's height does not hang on the value.
    Label {
        id: valueLabel
        objectName: row.objectName !== "" ? row.objectName + "Value" : ""
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        width: Math.min(implicitWidth, row.width * 0.6)
        visible: row.readOnly
        text: row.value !== "" ? row.value : "-"
        horizontalAlignment: Text.AlignRight
        elide: Text.ElideMiddle
        font.pixelSize: Theme.fontLarge
        font.bold: row.valueColor !== Theme.textSecondary
        color: row.valueColor
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 1
        color: Theme.panel
    }
}
