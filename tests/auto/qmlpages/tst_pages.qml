import QtQuick 2.15
import QtTest 1.15

// The logic that lives in the pages, on the real GUI manager.
Item {
    id: stage
    width: 1024
    height: 600

    Component {
        id: pageComponent
        Loader { width: 1024; height: 480 }
    }

    SignalSpy { id: grantedSpy; target: manager; signalName: "settingsAccessGranted" }

    TestCase {
        name: "Pages"
        when: windowShown

        function load(page) {
            return createTemporaryObject(pageComponent, stage, { source: "qrc:/qml/screens/" + page + ".qml" }).item
        }

        function cleanup() {
            manager.isEntryGate = true
            manager.errorMessageScreen = ""
        }

        // The entry gate's sub-pages follow the manager's process signals;
        // steps: s = process started, f = process finished.
        function test_entryGate_data() {
            return [
                { tag: "finish without start", steps: "f", shown: "entryStart", title: "Press button for entry" },
                { tag: "issuing", steps: "ss", shown: "entryBusy" },
                { tag: "card presented", steps: "sf", shown: "entryFinal", title: "Please collect your card" },
                { tag: "card taken", steps: "sfsf", shown: "entryRoadBusy",
                  title: "Successful transaction \n Please wait until the road is free" },
                { tag: "failed", error: "Barrier fault", steps: "sf", shown: "entryError", title: "Barrier fault" },
                { tag: "exit gate", exit: true, steps: "", shown: "entryStart", title: "Please insert your card" },
                { tag: "exit gate card", exit: true, steps: "sf", shown: "entryFinal", title: "Have a nice trip" }
            ]
        }

        function test_entryGate(row) {
            var page = load("EntryGate")
            page.resultMillis = 50
            manager.errorOccured = false
            // The manager does not notify its gate kind; a reset reads it.
            manager.isEntryGate = !row.exit
            manager.resetInitialScreen()
            manager.errorMessageScreen = row.error || ""
            for (var i = 0; i < row.steps.length; ++i)
                row.steps[i] === "s" ? manager.processStarted() : manager.processFinished()
            var names = ["entryStart", "entryBusy", "entryError", "entryFinal", "entryRoadBusy"]
            compare(names.filter(function (name) { return findChild(page, name).visible }).join(","), row.shown)
            if (row.title)
                compare(findChild(findChild(page, row.shown), "messageTitle").text, row.title)
            // The results go back to the start by themselves.
            if (row.shown === "entryError" || row.shown === "entryRoadBusy")
                tryCompare(page, "state", "start")
        }

        // Only C or K followed by eight digits is saved as the serial number,
        // and only once the technician confirms it.
        function test_serial() {
            var page = load("InitPage")
            var field = findChild(page, "serialField")
            var before = manager.deviceId
            compare(field.text, before)
            var rows = { "": false, "C1234567": false, "X12345678": false, "C,12345678": false, "C123456789": false,
                         " C12345678": false, "c12345678": false, "KK87654321": true, "K87654321": true }
            for (var text in rows) {
                field.text = text
                compare(findChild(page, "saveButton").enabled, rows[text], JSON.stringify(text))
            }
            for (var answer of ["confirmPopupCancel", "confirmPopupOk"]) {
                compare(manager.deviceId, before)
                mouseClick(findChild(page, "saveButton"))
                tryCompare(findChild(page, "confirmPopup"), "opened", true)
                compare(findChild(page, "confirmPopupText").text, "K87654321")
                mouseClick(findChild(page, answer))
                tryCompare(findChild(page, "confirmPopup"), "visible", false)
            }
            tryCompare(manager, "deviceId", "K87654321")
        }

        // The pad collects the PIN unseen; the page shows the session's
        // verdict on its own request only.
        function test_login() {
            var page = load("Login")
            var feedback = findChild(page, "loginFeedback")
            function type(keys) {
                for (var i = 0; i < keys.length; ++i) {
                    var key = findChild(page, "numberPadKey_" + keys[i])
                    verify(key.width >= 48 && key.height >= 48, keys[i] + " is too small for a finger")
                    mouseClick(key)
                }
            }
            type("1234567890") // the pad stops at its length
            compare(findChild(page, "pinDisplay").text, "\u25cf".repeat(8))
            type(["clear"])
            manager.settingsAccessDenied() // asked for by nobody here
            compare(feedback.text, "")
            type(["1", "2", "3", "4", "ok"])
            tryCompare(feedback, "text", "Wrong PIN, please try again")
            type("3") // the next try clears the complaint
            compare(feedback.text, "")
            type(["9", "1", "7", "ok"])
            tryCompare(grantedSpy, "count", 1)
            compare(feedback.text, "Access granted")
            manager.settingsLogoutRequest()
        }
    }
}
