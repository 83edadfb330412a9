import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "."

// A page of the maintenance area: its rows in one column that scrolls when
// it does not fit (long translations, many rows), and its buttons, if any,
// at the foot on the right.
Page {
    id: page

    default property alias content: column.data
    property alias actions: actionRow.data
    // For a page whose content scrolls by itself (a list): the column then
    // fills the page and the page does not scroll.
    property bool fillsPage: false
    property int margin: Theme.spacingLarge

    background: Rectangle {
        color: Theme.background
    }

    Flickable {
        id: flickable
        anchors.fill: parent
        anchors.bottomMargin: actionRow.children.length > 0
                              ? actionRow.height + Theme.spacing + Theme.versionClearance : 0
        contentWidth: width
        // The laid-out height: the implicit one can change again while the
        // layout wraps its texts to the width.
        contentHeight: page.fillsPage ? height : column.height + 2 * page.margin
        interactive: !page.fillsPage
        boundsBehavior: Flickable.StopAtBounds
        clip: true

        ScrollIndicator.vertical: ScrollIndicator {}

        ColumnLayout {
            id: column
            x: page.margin
            y: page.margin
            width: flickable.width - 2 * page.margin
            height: page.fillsPage ? flickable.height - 2 * page.margin : implicitHeight
            spacing: 0
        }
    }

    Row {
        id: actionRow
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.rightMargin: Theme.spacing
        anchors.bottomMargin: Theme.versionClearance
        spacing: Theme.spacing
    }
}
