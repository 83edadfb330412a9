import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A settings section: its rows in one column that scrolls when it does not
// fit (long translations, many rows).
Page {
    id: page

    default property alias content: column.data
    property int margin: 24

    background: Rectangle {
        color: "white"
    }

    Flickable {
        id: flickable
        anchors.fill: parent
        contentWidth: width
        // The laid-out height: the implicit one can change again while the
        // layout wraps its texts to the width.
        contentHeight: column.height + 2 * page.margin
        boundsBehavior: Flickable.StopAtBounds
        clip: true

        ScrollIndicator.vertical: ScrollIndicator {}

        ColumnLayout {
            id: column
            x: page.margin
            y: page.margin
            width: flickable.width - 2 * page.margin
            spacing: 0
        }
    }
}
