import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Title of a group of rows on a settings page.
Label {
    Layout.fillWidth: true
    Layout.topMargin: 16
    Layout.bottomMargin: 4
    wrapMode: Text.Wrap
    font.pixelSize: 18
    font.bold: true
    color: "#1976d2"
}
