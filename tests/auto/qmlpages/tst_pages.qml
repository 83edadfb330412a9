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

    function load(test, page) {
        return test.createTemporaryObject(pageComponent, stage, { source: "qrc:/qml/screens/" + page + ".qml" }).item
    }

    // The entry gate's sub-pages follow the manager's process signals.
    TestCase {
        id: gate
        name: "EntryGate"
        when: windowShown

        function cleanup() {
            manager.isEntryGate = true
            manager.errorMessageScreen = ""
        }

        // steps: s = process started, f = process finished.
        function test_cycle_data() {
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

        function test_cycle(row) {
            var page = load(gate, "EntryGate")
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
    }

    // The serial number: only C or K followed by eight digits is saved, and
    // only once the technician confirms it.
    TestCase {
        id: init
        name: "InitPage"
        when: windowShown

        function test_serial() {
            var page = load(init, "InitPage")
            var field = findChild(page, "serialField")
            var popup = findChild(page, "confirmPopup")
            var before = manager.deviceId
            compare(field.text, before)
            var rows = { "": false, "C1234567": false, "X12345678": false, "C,12345678": false, "C123456789": false,
                         " C12345678": false, "c12345678": false, "KK87654321": true, "K87654321": true }
            for (var text in rows) {
                field.text = text
                compare(findChild(page, "saveButton").enabled, rows[text], JSON.stringify(text))
            }
            mouseClick(findChild(page, "saveButton"))
            tryVerify(function () { return popup.opened })
            compare(findChild(page, "confirmPopupText").text, "K87654321")
            mouseClick(findChild(page, "confirmPopupCancel"))
            tryVerify(function () { return !popup.visible })
            compare(manager.deviceId, before)
            mouseClick(findChild(page, "saveButton"))
            tryVerify(function () { return popup.opened })
            mouseClick(findChild(page, "confirmPopupOk"))
            tryCompare(manager, "deviceId", "K87654321")
        }
    }

    // The number pad collects the PIN without showing it; the page shows the
    // session's verdict on its own request only.
    TestCase {
        id: login
        name: "Login"
        when: windowShown

        SignalSpy { id: grantedSpy; target: manager; signalName: "settingsAccessGranted" }

        function type(page, keys) {
            for (var i = 0; i < keys.length; ++i) {
                var key = findChild(page, "numberPadKey_" + keys[i])
                verify(key.width >= 48 && key.height >= 48, keys[i] + " is too small for a finger")
                mouseClick(key)
            }
        }

        function test_login() {
            var page = load(login, "Login")
            var pad = findChild(page, "numberPad")
            var feedback = findChild(page, "loginFeedback")
            verify(!findChild(page, "numberPadKey_ok").enabled)
            type(page, "1234567890") // the pad stops at its length
            compare(pad.text, "12345678")
            compare(findChild(page, "pinDisplay").text, "\u25cf".repeat(8))
            type(page, ["clear"])
            compare(pad.text, "")
            // A verdict nobody asked for on this page is ignored.
            manager.settingsAccessDenied()
            compare(feedback.text, "")
            type(page, ["1", "2", "3", "4", "ok"])
            tryCompare(feedback, "text", "Wrong PIN, please try again")
            compare(pad.text, "")
            type(page, "3") // the next try clears the complaint
            compare(feedback.text, "")
            type(page, ["9", "1", "7", "ok"])
            tryCompare(grantedSpy, "count", 1)
            compare(feedback.text, "Access granted")
            manager.settingsLogoutRequest()
        }
    }
}
