import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

// Refused ticket: the refusal text and the details of the last validation.
Item {
    id: page

    readonly property var details: (transaction && transaction.details) ? transaction.details : ({})
    // The details a passenger can use, with their labels; a record fills
    // only those of its own kind, the rest stay empty or zero.
    readonly property var labels: ({
        "fromStopGroupName": QT_TR_NOOP("From"),
        "toStopGroupName": QT_TR_NOOP("To"),
        "activationTimestamp": QT_TR_NOOP("Activated"),
        "expires": QT_TR_NOOP("Expires"),
        "deducted": QT_TR_NOOP("Deducted"),
        "remaining": QT_TR_NOOP("Remaining"),
        "transferRemainingMin": QT_TR_NOOP("Transfer minutes left")
    })
    readonly property var lines: {
        manager.dynTr // the labels follow the language
        var result = []
        for (var key in details) {
            var value = details[key]
            if (value instanceof Date)
                value = isNaN(value.getTime()) ? "" : Qt.formatDateTime(value, "dd-MM-yyyy hh:mm")
            if (value === undefined || value === null || value === "" || value === 0)
                continue
            result.push(qsTr("%1: %2").arg(labels[key] ? qsTr(labels[key]) : key).arg(String(value)))
        }
        return result
    }

    Column {
        anchors.centerIn: parent
        width: parent.width - 96
        spacing: Theme.spacing

        Image {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 112
            height: 112
            sourceSize.width: 112
            sourceSize.height: 112
            source: "qrc:/qml/images/invalid.png"
        }
        Label {
            objectName: "invalidTitle"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: qsTr("Invalid ticket") + manager.dynTr
            font.pixelSize: Theme.fontDisplay
            font.bold: true
            color: Theme.error
        }
        Label {
            objectName: "invalidReason"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            visible: text !== ""
            text: (transaction && transaction.denyReason) ? qsTranslate("Transaction", transaction.denyReason) + manager.dynTr : ""
            font.pixelSize: Theme.fontHeading
            color: Theme.text
        }
        Column {
            objectName: "invalidDetails"
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: Theme.spacingTight

            Repeater {
                model: page.lines

                Label {
                    text: modelData
                    font.pixelSize: Theme.fontLarge
                    color: Theme.textMuted
                }
            }
        }
    }
}
