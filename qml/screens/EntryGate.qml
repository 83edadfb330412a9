import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

// Normal operating page of a gate. On an entry gate a tap asks the manager
// for a card, and its process signals walk the page through one cycle:
// start -> busy on processStarted; busy -> final ("collect your card") when
// the card is presented; final -> roadBusy ("successful") when it is taken;
// busy or final -> error when the manager reports one. The error and success
// pages go back to start by themselves; resetInitialScreen resets at once.
Item {
    id: page

    // The manager does not notify changes of its gate kind, so the page
    // reads it again whenever it is shown or its state changes.
    property bool entryGate: true
    // How long the error and success pages stay.
    property int resultMillis: 5000

    state: "start"

    function refresh() {
        entryGate = manager.isEntryGate
    }

    Component.onCompleted: refresh()
    onVisibleChanged: refresh()
    onStateChanged: {
        console.info("[QML] Entry gate : " + state)
        refresh()
    }

    Connections {
        target: manager
        function onProcessStarted() {
            if (page.state === "start")
                page.state = "busy"
        }
        function onProcessFinished() {
            if (page.state !== "busy" && page.state !== "final")
                return
            if (manager.errorOccured || manager.errorMessageScreen !== "")
                page.state = "error"
            else
                page.state = page.state === "busy" ? "final" : "roadBusy"
        }
        function onResetInitialScreen() {
            page.state = "start"
            page.refresh()
        }
    }

    Timer {
        interval: page.resultMillis
        running: page.state === "error" || page.state === "roadBusy"
        onTriggered: page.state = "start"
    }

    MouseArea {
        objectName: "entryTapArea"
        anchors.fill: parent
        enabled: page.entryGate && page.state === "start"
        onClicked: manager.issueCard()
    }

    states: [
        State { name: "start" },
        State { name: "busy" },
        State { name: "error" },
        State { name: "final" },
        State { name: "roadBusy" }
    ]

    MessageScreen {
        objectName: "entryStart"
        anchors.fill: parent
        visible: page.state === "start"
        icon: "qrc:/qml/images/card.png"
        title: (page.entryGate ? qsTr("Press button for entry") : qsTr("Please insert your card"))
               + manager.dynTr
    }

    Item {
        objectName: "entryBusy"
        anchors.fill: parent
        visible: page.state === "busy"

        Column {
            anchors.centerIn: parent
            width: parent.width - 96
            spacing: Theme.spacingHuge

            BusyIndicator {
                objectName: "entryBusyIndicator"
                anchors.horizontalCenter: parent.horizontalCenter
                width: 96
                height: 96
                running: page.visible && page.state === "busy"
            }
            Label {
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                text: qsTr("Please wait") + manager.dynTr
                font.pixelSize: Theme.fontTitle
                color: Theme.text
            }
        }
    }

    MessageScreen {
        objectName: "entryError"
        anchors.fill: parent
        visible: page.state === "error"
        icon: "qrc:/qml/images/warning.png"
        titleColor: Theme.warning
        title: qsTranslate("GUIManager", manager.errorMessageScreen) + manager.dynTr
    }

    MessageScreen {
        objectName: "entryFinal"
        anchors.fill: parent
        visible: page.state === "final"
        icon: "qrc:/qml/images/valid.png"
        titleColor: Theme.ok
        title: (page.entryGate ? qsTr("Please collect your card") : qsTr("Have a nice trip"))
               + manager.dynTr
    }

    MessageScreen {
        objectName: "entryRoadBusy"
        anchors.fill: parent
        visible: page.state === "roadBusy"
        icon: "qrc:/qml/images/valid.png"
        titleColor: Theme.ok
        title: qsTr("Successful transaction \n Please wait until the road is free") + manager.dynTr
    }
}
