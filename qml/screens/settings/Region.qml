import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// Language of the user interface, time zone and network time.
SettingsPage {
    id: page

    objectName: "regionPage"
    title: qsTr("Date, time and languange settings") + manager.dynTr

    readonly property var clock: manager.clock
    // The system's list may come with blank entries (and is just one blank
    // when timedatectl cannot answer).
    readonly property var zones: {
        const all = clock ? clock.timezones : []
        const result = []
        for (let i = 0; i < all.length; ++i) {
            if (all[i] !== "")
                result.push(all[i])
        }
        return result
    }

    // What the system said when it refused the last zone chosen here.
    property string zoneError: ""

    Connections {
        target: page.clock
        function onTimezoneError(reason) {
            page.zoneError = reason
        }
    }

    function zoneIndex() {
        return page.zones.indexOf(page.clock ? page.clock.timezone : "")
    }

    function languageName(code) {
        switch (code) {
        case "el_GR": return qsTr("Greek") + manager.dynTr
        case "en_US": return qsTr("English (US)") + manager.dynTr
        case "en_IE": return qsTr("English (Ireland)") + manager.dynTr
        }
        return code
    }

    // A host name or an address: letters, digits, dots and dashes.
    function validServer(text) {
        return /^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$/.test(text)
    }

    SettingsHeading {
        text: qsTr("Language") + manager.dynTr
    }

    Flow {
        Layout.fillWidth: true
        Layout.topMargin: 8
        Layout.bottomMargin: 8
        spacing: Theme.spacing

        Repeater {
            model: ["el_GR", "en_US", "en_IE"]

            Button {
                id: languageButton

                readonly property bool current: manager.language === modelData

                objectName: "language_" + modelData
                width: 290
                height: 120
                highlighted: current
                onClicked: manager.language = modelData

                contentItem: ColumnLayout {
                    spacing: Theme.spacingSmall

                    Item {
                        Layout.alignment: Qt.AlignHCenter
                        implicitWidth: 72
                        implicitHeight: Theme.touchMinimum

                        Image {
                            objectName: "flag_" + modelData
                            anchors.centerIn: parent
                            visible: modelData !== "en_IE"
                            height: 40
                            sourceSize.height: 80
                            fillMode: Image.PreserveAspectFit
                            source: modelData === "el_GR" ? "qrc:/qml/images/flags/gr.svg"
                                                          : "qrc:/qml/images/flags/uk.svg"
                        }
                        // Irish English gets a plain badge, not a borrowed flag.
                        Rectangle {
                            anchors.centerIn: parent
                            visible: modelData === "en_IE"
                            width: 60
                            height: 40
                            radius: Theme.radius
                            color: Theme.background
                            border.color: Theme.faint

                            Label {
                                anchors.centerIn: parent
                                text: "IE"
                                font.pixelSize: Theme.fontLarge
                                font.bold: true
                                color: Theme.text
                            }
                        }
                    }
                    Label {
                        Layout.fillWidth: true
                        text: page.languageName(modelData)
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.Wrap
                        font.pixelSize: Theme.fontLarge
                        font.bold: languageButton.current
                        color: languageButton.current ? Theme.textOnAccent : Theme.text
                    }
                }
            }
        }
    }

    SettingsHeading {
        text: qsTr("Time zone") + manager.dynTr
    }

    SettingsRow {
        title: qsTr("Time zone") + manager.dynTr
        description: page.zones.length === 0 ? qsTr("The system did not report any time zone") + manager.dynTr
                     : page.zoneError !== "" ? qsTr("The time zone was not changed: %1").arg(page.zoneError) + manager.dynTr
                     : ""

        ComboBox {
            id: zoneBox
            objectName: "timezoneBox"
            width: 380
            height: 56
            font.pixelSize: Theme.fontBody
            enabled: page.zones.length > 0
            model: page.zones
            currentIndex: page.zoneIndex()
            displayText: currentIndex >= 0 ? currentText : qsTr("Unknown") + manager.dynTr
            onActivated: {
                page.zoneError = ""
                page.clock.timezone = page.zones[currentIndex]
                // Show what the system now reports, not the selection.
                currentIndex = Qt.binding(page.zoneIndex)
            }
        }
    }

    SettingsHeading {
        text: qsTr("Network time") + manager.dynTr
    }

    SettingsRow {
        title: qsTr("Automatic time (NTP)") + manager.dynTr
        description: (page.clock && page.clock.ntpSynced ? qsTr("Synchronised") : qsTr("Not synchronised"))
                     + manager.dynTr

        Switch {
            id: ntpSwitch
            objectName: "ntpSwitch"
            height: 56
            checked: page.clock ? page.clock.ntpEnabled : false
            onToggled: {
                page.clock.ntpEnabled = checked
                // The service has the last word.
                checked = Qt.binding(() => page.clock ? page.clock.ntpEnabled : false)
            }
        }
    }

    SettingsRow {
        title: qsTr("NTP server") + manager.dynTr
        description: serverField.text !== "" && !page.validServer(serverField.text)
                     ? qsTr("Use a host name or an address") + manager.dynTr : ""

        TextField {
            id: serverField
            objectName: "ntpServerField"
            width: 300
            height: 56
            font.pixelSize: Theme.fontBody
            inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText | Qt.ImhUrlCharactersOnly
            placeholderText: qsTr("pool.ntp.org") + manager.dynTr
            text: page.clock ? page.clock.ntpServer : ""
        }
        Button {
            objectName: "ntpServerApply"
            height: 56
            text: qsTr("APPLY") + manager.dynTr
            font.pixelSize: Theme.fontBody
            enabled: page.clock !== null && serverField.text !== page.clock.ntpServer
                     && page.validServer(serverField.text)
            onClicked: page.clock.ntpServer = serverField.text
        }
    }

    SettingsRow {
        title: qsTr("Synchronise the clock now") + manager.dynTr

        Button {
            objectName: "ntpSyncButton"
            height: 56
            icon.source: "qrc:/qml/images/Icons/sync.svg"
            text: qsTr("SYNC NOW") + manager.dynTr
            font.pixelSize: Theme.fontBody
            enabled: page.clock !== null
            onClicked: page.clock.ntpSync()
        }
    }
}
