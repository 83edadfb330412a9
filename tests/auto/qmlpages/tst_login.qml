import QtQuick 2.15
import QtTest 1.15

// The number pad collects the PIN; the page shows the session's verdict on
// its own request only.
Item {
    id: stage
    width: 1024
    height: 600

    TestCase {
        name: "Login"
        when: windowShown

        Component {
            id: pageComponent
            Loader { source: "qrc:/qml/screens/Login.qml"; width: 1024; height: 480 }
        }

        SignalSpy { id: grantedSpy; target: manager; signalName: "settingsAccessGranted" }
        SignalSpy { id: deniedSpy; target: manager; signalName: "settingsAccessDenied" }

        function type(page, digits) {
            for (var i = 0; i < digits.length; ++i)
                mouseClick(findChild(page, "numberPadKey_" + digits[i]))
        }

        function test_numberPad() {
            var page = createTemporaryObject(pageComponent, stage).item
            var pad = findChild(page, "numberPad")
            var ok = findChild(page, "numberPadKey_ok")
            verify(!ok.enabled)
            type(page, "12")
            compare(pad.text, "12")
            compare(findChild(page, "pinDisplay").text, "\u25cf\u25cf")
            mouseClick(findChild(page, "numberPadKey_clear"))
            compare(pad.text, "")
            // The pad stops at its length.
            type(page, "1234567890")
            compare(pad.text, "12345678")
            var keys = ["0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "clear", "ok"]
            for (var i = 0; i < keys.length; ++i) {
                var key = findChild(page, "numberPadKey_" + keys[i])
                verify(key.width >= 48 && key.height >= 48, keys[i] + " is too small for a finger")
            }
        }

        function test_verdicts() {
            var page = createTemporaryObject(pageComponent, stage).item
            var pad = findChild(page, "numberPad")
            var feedback = findChild(page, "loginFeedback")
            grantedSpy.clear()
            deniedSpy.clear()

            // A verdict nobody asked for on this page is ignored.
            manager.settingsAccessDenied()
            compare(feedback.text, "")

            type(page, "1234")
            mouseClick(findChild(page, "numberPadKey_ok"))
            tryCompare(deniedSpy, "count", 2)
            compare(grantedSpy.count, 0)
            compare(feedback.text, "Wrong PIN, please try again")
            compare(pad.text, "")
            // The next try clears the complaint.
            type(page, "3")
            compare(feedback.text, "")

            type(page, "917")
            mouseClick(findChild(page, "numberPadKey_ok"))
            tryCompare(grantedSpy, "count", 1)
            compare(feedback.text, "Access granted")
            verify(!pad.enabled)
            manager.settingsLogoutRequest()
        }
    }
}
