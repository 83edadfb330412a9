import QtQuick 2.15
import QtTest 1.15

// The entry gate's five sub-pages, driven by the manager's process signals.
Item {
    id: stage
    width: 1024
    height: 600

    TestCase {
        name: "EntryGate"
        when: windowShown

        Component {
            id: pageComponent
            Loader { source: "qrc:/qml/screens/EntryGate.qml"; width: 1024; height: 480 }
        }

        function shown(page) {
            var names = ["entryStart", "entryBusy", "entryError", "entryFinal", "entryRoadBusy"]
            return names.filter(function (name) { return findChild(page, name).visible }).join(",")
        }

        function title(page, name) {
            return findChild(findChild(page, name), "messageTitle").text
        }

        function test_stateMachine() {
            var page = createTemporaryObject(pageComponent, stage).item
            verify(page)
            manager.isEntryGate = true
            manager.errorOccured = false
            manager.resetInitialScreen()
            compare(shown(page), "entryStart")
            compare(title(page, "entryStart"), "Press button for entry")

            // A finish without a start is not a transaction of this page.
            manager.processFinished()
            compare(shown(page), "entryStart")

            manager.processStarted()
            compare(shown(page), "entryBusy")
            verify(findChild(page, "entryBusyIndicator").running)
            manager.processStarted()
            compare(shown(page), "entryBusy")
            manager.processFinished()
            compare(shown(page), "entryFinal")
            compare(title(page, "entryFinal"), "Please collect your card")
            // Only the reset leaves the final page.
            manager.processStarted()
            compare(shown(page), "entryFinal")
            manager.resetInitialScreen()
            compare(shown(page), "entryStart")

            // A failed process shows the manager's error text, live.
            manager.errorMessageScreen = "Barrier fault"
            manager.errorOccured = true
            manager.processStarted()
            manager.processFinished()
            compare(shown(page), "entryError")
            compare(title(page, "entryError"), "Barrier fault")
            manager.errorMessageScreen = "No cards left"
            compare(title(page, "entryError"), "No cards left")
            manager.resetInitialScreen()
            compare(shown(page), "entryStart")

            // With the road reported busy a success asks the driver to wait.
            manager.errorOccured = false
            page.roadBusy = true
            manager.processStarted()
            manager.processFinished()
            compare(shown(page), "entryRoadBusy")
            compare(title(page, "entryRoadBusy"), "Successful transaction \n Please wait until the road is free")
            manager.resetInitialScreen()
        }

        function test_gateKind() {
            var page = createTemporaryObject(pageComponent, stage).item
            // The manager does not notify its gate kind; the page reads it again
            // on its next transition.
            manager.isEntryGate = false
            manager.resetInitialScreen()
            compare(title(page, "entryStart"), "Please insert your card")
            manager.processStarted()
            manager.processFinished()
            compare(title(page, "entryFinal"), "Have a nice trip")
            manager.isEntryGate = true
            manager.resetInitialScreen()
            compare(title(page, "entryStart"), "Press button for entry")
        }
    }
}
