import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// The maintenance settings area: a tool bar with the page title and the
// power/logout menu above a stack of pages that starts at the section list.
Item {
    id: settings

    readonly property var sections: [
        { title: "Validator", label: qsTr("Validator") + manager.dynTr,
          description: qsTr("Validator information and settings") + manager.dynTr,
          icon: "qrc:/qml/images/Icons/ticket.svg", page: "qrc:/qml/screens/settings/Validator.qml" },
        { title: "Diagnostics", label: qsTr("Diagnostics") + manager.dynTr,
          description: qsTr("System health and diagnostic") + manager.dynTr,
          icon: "qrc:/qml/images/Icons/diagnostic.svg", page: "qrc:/qml/screens/settings/Diagnostics.qml" },
        { title: "Region", label: qsTr("Region") + manager.dynTr,
          description: qsTr("Date, time and languange settings") + manager.dynTr,
          icon: "qrc:/qml/images/Icons/region.svg", page: "qrc:/qml/screens/settings/Region.qml" },
        { title: "Audio", label: qsTr("Audio") + manager.dynTr,
          description: qsTr("Adjust audio volume") + manager.dynTr,
          icon: "qrc:/qml/images/Icons/audio.svg", page: "qrc:/qml/screens/settings/Audio.qml" },
        { title: "Display", label: qsTr("Display") + manager.dynTr,
          description: qsTr("Adjust display brightness and mode") + manager.dynTr,
          icon: "qrc:/qml/images/Icons/brightness-2.svg", page: "qrc:/qml/screens/settings/Display.qml" },
        { title: "Network", label: qsTr("Network") + manager.dynTr,
          description: qsTr("Configure Ethernet, WiFi and Modem") + manager.dynTr,
          icon: "qrc:/qml/images/Icons/network.svg", page: "qrc:/qml/screens/settings/Network.qml" },
        { title: "Update", label: qsTr("Update") + manager.dynTr,
          description: qsTr("Check for software and sytem updates") + manager.dynTr,
          icon: "qrc:/qml/images/Icons/update.svg", page: "qrc:/qml/screens/settings/Update.qml" },
        { title: "Event Log", label: qsTr("Event Log") + manager.dynTr,
          description: qsTr("Examine system events and alarms") + manager.dynTr,
          icon: "qrc:/qml/images/Icons/log.svg", page: "qrc:/qml/screens/settings/EventLog.qml" }
    ]

    // Opens the section with this (untranslated) title on top of the list;
    // false when there is none.
    function openSection(title) {
        for (var i = 0; i < sections.length; ++i) {
            if (sections[i].title === title) {
                backToList()
                stack.push(sections[i].page)
                return true
            }
        }
        return false
    }

    // Whoever comes back finds the section list, not the last page.
    function reset() {
        menu.close()
        confirmPopup.close()
        scanPopup.close()
        backToList()
    }

    function backToList() {
        if (stack.depth > 1)
            stack.pop(null, StackView.Immediate)
        // An immediate pop skips the enter transition that undoes the fade
        // and the slide of the list when a page was pushed over it.
        if (stack.currentItem) {
            stack.currentItem.opacity = 1
            stack.currentItem.x = 0
        }
    }

    onVisibleChanged: {
        if (!visible)
            reset()
    }

    ToolBar {
        id: toolBar
        objectName: "settingsToolBar"
        anchors.left: parent.left
        anchors.right: parent.right
        height: 72
        Material.background: Theme.background

        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            spacing: Theme.spacingSmall

            RoundButton {
                objectName: "settingsBackButton"
                iconSource: "qrc:/qml/images/Icons/chevron-left.svg"
                enabled: stack.depth > 1
                opacity: enabled ? 1 : 0
                onClicked: stack.pop()
            }
            Label {
                objectName: "settingsTitle"
                Layout.fillWidth: true
                text: stack.currentItem && stack.currentItem.title !== undefined ? stack.currentItem.title : ""
                elide: Text.ElideRight
                font.pixelSize: Theme.fontHeading
                font.bold: true
                color: Theme.text
            }
            RoundButton {
                id: menuButton
                objectName: "settingsMenuButton"
                iconSource: "qrc:/qml/images/Icons/menu.svg"
                onClicked: menu.open()

                Menu {
                    id: menu
                    objectName: "settingsMenu"
                    y: menuButton.height
                    x: menuButton.width - width
                    width: 320
                    font.pixelSize: Theme.fontLarge
                    // Flat, like the pop-ups: the shadow is not drawn everywhere.
                    background: Rectangle {
                        implicitWidth: 320
                        color: Theme.background
                        radius: Theme.radius
                        border.color: Theme.border
                    }

                    MenuItem {
                        objectName: "menuScanConfig"
                        text: qsTr("Scan Config QR") + manager.dynTr
                        onTriggered: scanPopup.open()
                    }
                    MenuItem {
                        objectName: "menuRestart"
                        text: qsTr("Restart Application") + manager.dynTr
                        onTriggered: confirmPopup.ask(text, function() { manager.exitRequest() })
                    }
                    MenuItem {
                        objectName: "menuReboot"
                        text: qsTr("Reboot") + manager.dynTr
                        onTriggered: confirmPopup.ask(text, function() { manager.rebootRequest() })
                    }
                    MenuItem {
                        objectName: "menuShutdown"
                        text: qsTr("Shutdown") + manager.dynTr
                        onTriggered: confirmPopup.ask(text, function() { manager.shutdownRequest() })
                    }
                    MenuSeparator {}
                    MenuItem {
                        objectName: "menuLogout"
                        text: qsTr("Logout") + manager.dynTr
                        onTriggered: manager.settingsLogoutRequest()
                    }
                }
            }
        }
    }

    StackView {
        id: stack
        objectName: "settingsStack"
        anchors.top: toolBar.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        clip: true
        initialItem: sectionList
    }

    Component {
        id: sectionList

        Page {
            title: qsTr("Settings") + manager.dynTr

            GridView {
                id: grid
                objectName: "sectionGrid"
                anchors.fill: parent
                anchors.margins: 12
                cellWidth: width / 2
                cellHeight: Math.max(112, (height - 1) / 4)
                boundsBehavior: Flickable.StopAtBounds
                model: settings.sections

                delegate: ItemDelegate {
                    objectName: "section" + modelData.title.replace(/ /g, "")
                    width: grid.cellWidth - 12
                    height: grid.cellHeight - 12
                    onClicked: settings.openSection(modelData.title)

                    background: Rectangle {
                        radius: Theme.radiusLarge
                        color: parent.pressed ? Theme.accentLight : Theme.panelLight
                        border.color: Theme.border
                    }
                    contentItem: RowLayout {
                        spacing: Theme.spacing

                        Image {
                            Layout.leftMargin: 8
                            source: modelData.icon
                            sourceSize.width: 48
                            sourceSize.height: 48
                        }
                        ColumnLayout {
                            Layout.fillWidth: true
                            spacing: Theme.spacingTight

                            Label {
                                Layout.fillWidth: true
                                text: modelData.label
                                wrapMode: Text.Wrap
                                font.pixelSize: Theme.fontControl
                                font.bold: true
                                color: Theme.text
                            }
                            Label {
                                Layout.fillWidth: true
                                text: modelData.description
                                wrapMode: Text.Wrap
                                maximumLineCount: 2
                                elide: Text.ElideRight
                                font.pixelSize: Theme.fontSmall
                                color: Theme.hint
                            }
                        }
                        Image {
                            source: "qrc:/qml/images/Icons/chevron-right.svg"
                            sourceSize.width: 32
                            sourceSize.height: 32
                        }
                    }
                }
            }
        }
    }

    CustomPopup {
        id: confirmPopup
        objectName: "settingsConfirmPopup"

        property var action: null

        function ask(what, onAccept) {
            text = what
            action = onAccept
            open()
        }

        title: qsTr("Are you sure?") + manager.dynTr
        question: true
        onAccepted: {
            var run = action
            action = null
            if (run)
                run()
        }
        onRejected: action = null
    }

    SettingsPopUp {
        id: scanPopup
        objectName: "scanConfigPopup"

        // Lines of the configuration the last scanned code applied.
        property var applied: []

        title: qsTr("Scan Configuration QR code") + manager.dynTr
        // The reader reads only while someone is waiting for a code here.
        onAboutToShow: {
            applied = []
            manager.holdReaders("scanConfig", false, true)
        }
        onClosed: manager.releaseReaders("scanConfig")

        Image {
            anchors.horizontalCenter: parent.horizontalCenter
            visible: scanPopup.applied.length === 0
            source: "qrc:/qml/images/Icons/qr-code.svg"
            sourceSize.width: 128
            sourceSize.height: 128
        }
        Label {
            objectName: "scanConfigHint"
            width: parent.width
            visible: scanPopup.applied.length === 0
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: qsTr("Hold the configuration QR code in front of the barcode reader") + manager.dynTr
            color: Theme.textMuted
        }
        Label {
            objectName: "scanConfigResult"
            width: parent.width
            visible: scanPopup.applied.length > 0
            wrapMode: Text.Wrap
            text: (qsTr("CONFIGURATION APPLIED") + manager.dynTr) + "\n" + scanPopup.applied.join("\n")
            font.pixelSize: Theme.fontControl
            color: Theme.ok
        }
    }

    Connections {
        target: manager
        function onBarcodeConfigurationApplied(configList) {
            if (!settings.visible)
                return
            if (!scanPopup.opened)
                scanPopup.open()
            scanPopup.applied = configList
        }
    }
}
