import QtQuick 2.15
import QtTest 1.15

// The serial number: only C or K followed by eight digits is saved, and only
// after the technician confirms it.
Item {
    id: stage
    width: 1024
    height: 600

    TestCase {
        name: "InitPage"
        when: windowShown

        Component {
            id: pageComponent
            Loader { source: "qrc:/qml/screens/InitPage.qml"; width: 1024; height: 480 }
        }

        SignalSpy { id: deviceIdSpy; target: manager; signalName: "deviceIdChanged" }

        function test_pattern() {
            var page = createTemporaryObject(pageComponent, stage).item
            var field = findChild(page, "serialField")
            var save = findChild(page, "saveButton")
            compare(field.text, manager.deviceId)
            verify(save.enabled)
            var bad = ["", "C1234567", "X12345678", "C,12345678", "C123456789", " C12345678", "c12345678"]
            for (var i = 0; i < bad.length; ++i) {
                field.text = bad[i]
                verify(!save.enabled, "accepted " + JSON.stringify(bad[i]))
            }
            var good = ["K87654321", "KK87654321", "CK00000000"]
            for (i = 0; i < good.length; ++i) {
                field.text = good[i]
                verify(save.enabled, "refused " + good[i])
            }
        }

        function test_confirmation() {
            var page = createTemporaryObject(pageComponent, stage).item
            var field = findChild(page, "serialField")
            var popup = findChild(page, "confirmPopup")
            var before = manager.deviceId
            field.text = "K87654321"
            deviceIdSpy.clear()

            mouseClick(findChild(page, "saveButton"))
            tryVerify(function () { return popup.opened })
            compare(popup.title, "Please confirm the serial number")
            compare(findChild(page, "confirmPopupText").text, "K87654321")
            mouseClick(findChild(page, "confirmPopupCancel"))
            tryVerify(function () { return !popup.visible })
            compare(manager.deviceId, before)
            compare(deviceIdSpy.count, 0)

            mouseClick(findChild(page, "saveButton"))
            tryVerify(function () { return popup.opened })
            mouseClick(findChild(page, "confirmPopupOk"))
            tryCompare(manager, "deviceId", "K87654321")
            compare(deviceIdSpy.count, 1)
        }
    }
}
