import QtQuick 2.15
import QtTest 1.15

// The main window follows the manager's screen, except that a reset to the
// normal page leaves the manager's screen as it was.
Item {
    id: stage
    width: 1024
    height: 600

    TestCase {
        name: "Window"
        when: windowShown

        Component {
            id: windowComponent
            Loader { source: "qrc:/qml/main.qml" }
        }

        function test_followsScreen() {
            var window = createTemporaryObject(windowComponent, stage).item
            verify(window)
            manager.screen = "ExitGate"
            compare(window.currentScreen, "ExitGate")
            verify(window.header.visible)
            manager.screen = "ScreenSaver"
            compare(window.currentScreen, "ScreenSaver")
            // No maintenance button on the screen saver.
            verify(!window.header.visible)

            manager.screen = "ExitGate"
            manager.resetInitialScreen()
            compare(window.currentScreen, "EntryGate")
            compare(manager.screen, "ExitGate")
            // The same screen again is no change: the window stays.
            manager.screen = "ExitGate"
            compare(window.currentScreen, "EntryGate")
            // A screen with a time-out always announces itself.
            manager.setScreen("ExitGate", 60000)
            compare(window.currentScreen, "ExitGate")

            // A name without a page leaves the area empty.
            manager.screen = "NoSuchScreen"
            compare(window.currentScreen, "NoSuchScreen")
            window.close()
        }
    }
}
