import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "."

// Title of a group of rows on a settings page.
Label {
    Layout.fillWidth: true
    Layout.topMargin: Theme.spacing
    Layout.bottomMargin: 4
    wrapMode: Text.Wrap
    font.pixelSize: Theme.fontBody
    font.bold: true
    color: Theme.accent
}
