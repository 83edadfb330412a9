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
            // The card taken: success, then back to start by itself.
            manager.processStarted()
            compare(shown(page), "entryFinal")
            page.resultMillis = 50
            manager.processFinished()
            compare(shown(page), "entryRoadBusy")
            compare(title(page, "entryRoadBusy"), "Successful transaction \n Please wait until the road is free")
            tryCompare(page, "state", "start")

            // A failed process shows the manager's error text, live, and
            // returns to start by itself too.
            manager.errorMessageScreen = "Barrier fault"
            manager.processStarted()
            manager.processFinished()
            compare(shown(page), "entryError")
            compare(title(page, "entryError"), "Barrier fault")
            manager.errorMessageScreen = "No cards left"
            compare(title(page, "entryError"), "No cards left")
            tryCompare(page, "state", "start")
            manager.errorMessageScreen = ""
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
            manager.resetInitialScreen()
            manager.isEntryGate = true
            manager.resetInitialScreen()
            compare(title(page, "entryStart"), "Press button for entry")
        }
    }
}
