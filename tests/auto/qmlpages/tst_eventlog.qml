import QtQuick 2.15
import QtTest 1.15

// The event log's search field and period box filter through the event
// manager; the list shows what it keeps.
Item {
    id: stage
    width: 1024
    height: 600

    TestCase {
        name: "EventLog"
        when: windowShown

        Component {
            id: pageComponent
            Loader { source: "qrc:/qml/screens/settings/EventLog.qml"; width: 1024; height: 528 }
        }

        SignalSpy { id: dataSpy; target: eventLogManager; signalName: "dataChanged" }

        function rows() {
            return eventLogManager.data.length
        }

        function test_filters() {
            var page = createTemporaryObject(pageComponent, stage).item
            verify(page)
            // The manager logged its start when its window came up.
            tryVerify(function () { return rows() > 0 })
            var all = rows()

            var search = findChild(page, "eventSearch")
            dataSpy.clear()
            search.text = "no event is called this"
            verify(dataSpy.count > 0)
            compare(rows(), 0)
            search.text = "Application"
            verify(rows() > 0)
            verify(eventLogManager.data.every(function (e) { return e.name.indexOf("Application") >= 0 }))
            search.text = ""
            compare(rows(), all)

            // The period box hands over its untranslated name.
            var period = findChild(page, "eventPeriod")
            period.currentIndex = period.find("Yesterday")
            period.activated(period.currentIndex)
            compare(rows(), 0)
            period.currentIndex = period.find("Today")
            period.activated(period.currentIndex)
            compare(rows(), all)
            period.currentIndex = 0
            period.activated(0)
        }
    }
}
