import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// The event log, newest first. Name search and period are applied by the
// event log itself; the category is picked out here.
SettingsPage {
    id: page

    fillsPage: true

    title: qsTr("Event Log") + manager.dynTr

    // The period names the event log understands, translated only where
    // shown, so that a language change keeps the choice.
    readonly property var periods: [
        QT_TR_NOOP("All history"), QT_TR_NOOP("Last hour"), QT_TR_NOOP("Last 2 hours"), QT_TR_NOOP("Today"),
        QT_TR_NOOP("Yesterday"), QT_TR_NOOP("Last week"), QT_TR_NOOP("Last month")
    ]
    // The first entry shows every category.
    readonly property var categories: [QT_TR_NOOP("All categories"), QT_TR_NOOP("General"), QT_TR_NOOP("Board")]

    // The log keeps its filters between visits; start from what the
    // controls show.
    Component.onCompleted: {
        eventLogManager.applyFilter(searchBox.text)
        eventLogManager.applyFilterPeriod(periods[periodBox.currentIndex])
    }

    RowLayout {
        id: filters
        Layout.fillWidth: true
        Layout.bottomMargin: Theme.spacing
        spacing: Theme.spacing

        TextBox {
            id: searchBox
            objectName: "eventSearch"
            Layout.fillWidth: true
            placeholderText: qsTr("Search") + manager.dynTr
            inputMethodHints: Qt.ImhNoPredictiveText
            onTextChanged: eventLogManager.applyFilter(text)
        }
        ComboBox {
            id: categoryBox
            objectName: "eventCategory"
            Layout.preferredWidth: 240
            implicitHeight: Theme.controlHeight
            font.pixelSize: Theme.fontLarge
            model: page.categories
            displayText: qsTr(currentText) + manager.dynTr
            delegate: MenuItem {
                width: ListView.view.width
                text: qsTr(modelData) + manager.dynTr
                font: categoryBox.font
                highlighted: categoryBox.highlightedIndex === index
            }
        }
        ComboBox {
            id: periodBox
            objectName: "eventPeriod"
            Layout.preferredWidth: 240
            implicitHeight: Theme.controlHeight
            font.pixelSize: Theme.fontLarge
            model: page.periods
            displayText: qsTr(currentText) + manager.dynTr
            delegate: MenuItem {
                width: ListView.view.width
                text: qsTr(modelData) + manager.dynTr
                font: periodBox.font
                highlighted: periodBox.highlightedIndex === index
            }
            onActivated: eventLogManager.applyFilterPeriod(page.periods[currentIndex])
        }
    }

    SortFilterModel {
        id: events
        model: eventLogManager.data
        // "All categories" needs no pass over the entries.
        filterAcceptsItem: categoryBox.currentIndex <= 0 ? null : function(entry) {
            return entry.modelData.category === page.categories[categoryBox.currentIndex]
        }
        delegate: ItemDelegate {
            width: list.width
            height: Math.max(64, row.implicitHeight + 16)
            hoverEnabled: false

            contentItem: RowLayout {
                id: row
                spacing: Theme.spacing

                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: Theme.spacingTight

                    Label {
                        objectName: "eventName"
                        Layout.fillWidth: true
                        text: modelData.name
                        wrapMode: Text.Wrap
                        font.pixelSize: Theme.fontLarge
                        font.bold: true
                        color: Theme.text
                    }
                    Label {
                        Layout.fillWidth: true
                        visible: text !== ""
                        text: modelData.description
                        wrapMode: Text.Wrap
                        font.pixelSize: Theme.fontSmall
                        color: Theme.hint
                    }
                }
                Column {
                    Layout.alignment: Qt.AlignTop
                    Label {
                        objectName: "eventTime"
                        anchors.right: parent.right
                        text: Qt.formatDateTime(modelData.timestamp, "dd-MMM-yy hh:mm")
                        font.pixelSize: Theme.fontBody
                        color: Theme.textSecondary
                    }
                    Label {
                        anchors.right: parent.right
                        text: qsTr(modelData.category) + manager.dynTr
                        font.pixelSize: Theme.fontCaption
                        color: Theme.faint
                    }
                }
            }
        }
    }

    ListView {
        id: list
        objectName: "eventList"
        Layout.fillWidth: true
        Layout.fillHeight: true
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: events
        ScrollIndicator.vertical: ScrollIndicator {}

        Label {
            objectName: "eventListEmpty"
            anchors.centerIn: parent
            visible: events.shownCount === 0
            text: qsTr("No events") + manager.dynTr
            font.pixelSize: Theme.fontControl
            color: Theme.faint
        }
    }
}
