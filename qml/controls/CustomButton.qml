import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

// A push button sized for a gloved finger.
Button {
    implicitWidth: Math.max(160, contentItem.implicitWidth + leftPadding + rightPadding)
    implicitHeight: Theme.rowHeight
    font.pixelSize: Theme.fontControl
}
