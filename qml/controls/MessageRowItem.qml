import QtQuick 2.15
import QtQuick.Controls 2.15

// One "label: value" line of an information page. Check results ("OK",
// "ERROR", "MISSING") are coloured so a fault stands out.
Item {
    id: row

    property string label
    property string value
    property int labelWidth: width * 0.45

    readonly property color valueColor: value === "OK" ? "#2e7d32"
                                        : value === "ERROR" ? "#d32f2f"
                                        : value === "MISSING" ? "#ef6c00" : "#263238"

    implicitWidth: 400
    implicitHeight: Math.max(44, Math.max(labelText.implicitHeight, valueText.implicitHeight) + 12)

    Label {
        id: labelText
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        width: row.labelWidth - 12
        text: row.label
        wrapMode: Text.Wrap
        font.pixelSize: 18
        color: "#546e7a"
    }
    Label {
        id: valueText
        objectName: row.objectName !== "" ? row.objectName + "Value" : ""
        anchors.left: parent.left
        anchors.leftMargin: row.labelWidth
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        text: row.value !== "" ? row.value : "-"
        wrapMode: Text.WrapAnywhere
        font.pixelSize: 18
        font.bold: row.valueColor !== "#263238"
        color: row.valueColor
    }
    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 1
        color: "#eceff1"
    }
}
