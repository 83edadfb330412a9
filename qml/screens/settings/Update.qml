import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// Installed and pending software, checking for updates and installing the
// pending one; the device service does the work and reports its progress.
SettingsPage {
    id: page

    objectName: "updatePage"
    title: qsTr("Update") + manager.dynTr

    readonly property var updater: manager.update
    readonly property string status: updater ? updater.status : ""
    readonly property bool working: status === "Checking for updates" || status === "Downloading"
                                    || status === "Installing"

    function statusText(status) {
        switch (status) {
        case "Disconnected": return qsTr("Disconnected") + manager.dynTr
        case "Checking for updates": return qsTr("Checking for updates") + manager.dynTr
        case "Ready to install": return qsTr("Ready to install") + manager.dynTr
        case "No pending updates": return qsTr("No pending updates") + manager.dynTr
        case "Downloading": return qsTr("Downloading") + manager.dynTr
        case "Installing": return qsTr("Installing") + manager.dynTr
        }
        return status
    }

    SettingsHeading {
        text: qsTr("Software") + manager.dynTr
    }

    SettingsRow {
        objectName: "updateStatus"
        readOnly: true
        title: qsTr("Status") + manager.dynTr
        value: page.statusText(page.status)
    }
    SettingsRow {
        objectName: "updateCurrent"
        readOnly: true
        title: qsTr("Installed version") + manager.dynTr
        value: page.updater ? page.updater.current : ""
    }
    SettingsRow {
        objectName: "updatePending"
        readOnly: true
        title: qsTr("Available version") + manager.dynTr
        value: page.updater ? page.updater.pending : ""
    }

    SettingsHeading {
        text: qsTr("Progress") + manager.dynTr
    }

    ColumnLayout {
        Layout.fillWidth: true
        Layout.topMargin: 8
        spacing: Theme.spacingSmall

        Label {
            objectName: "updateProgressMessage"
            Layout.fillWidth: true
            text: page.updater && page.updater.progressMessage !== "" ? page.updater.progressMessage : "-"
            wrapMode: Text.Wrap
            font.pixelSize: Theme.fontBody
            color: Theme.textSecondary
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.spacing

            ProgressBar {
                objectName: "updateProgressBar"
                Layout.fillWidth: true
                from: 0
                to: 100
                value: page.updater ? page.updater.progressPercent : 0
                indeterminate: page.status === "Checking for updates"
            }
            Label {
                objectName: "updateProgressPercent"
                Layout.preferredWidth: 64
                horizontalAlignment: Text.AlignRight
                text: (page.updater ? page.updater.progressPercent : 0) + "%"
                font.pixelSize: Theme.fontBody
                color: Theme.textSecondary
            }
        }
    }

    RowLayout {
        Layout.alignment: Qt.AlignRight
        Layout.topMargin: 24
        spacing: Theme.spacing

        Button {
            objectName: "updateCheckButton"
            implicitHeight: Theme.rowHeight
            enabled: page.updater !== null && !page.working
            icon.source: "qrc:/qml/images/Icons/sync.svg"
            text: qsTr("CHECK FOR UPDATES") + manager.dynTr
            font.pixelSize: Theme.fontLarge
            onClicked: page.updater.check()
        }
        Button {
            objectName: "updateInstallButton"
            implicitHeight: Theme.rowHeight
            highlighted: true
            enabled: page.updater !== null && page.updater.pending !== "" && !page.working
            icon.source: "qrc:/qml/images/Icons/download.svg"
            text: qsTr("INSTALL") + manager.dynTr
            font.pixelSize: Theme.fontLarge
            onClicked: installPopup.open()
        }
    }

    CustomPopup {
        id: installPopup
        objectName: "updateInstallPopup"
        question: true
        title: qsTr("Install the update?") + manager.dynTr
        text: qsTr("Version %1 will be installed. The terminal may restart.").arg(page.updater ? page.updater.pending : "")
              + manager.dynTr
        onAccepted: page.updater.install()
    }
}
