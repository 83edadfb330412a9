import QtQuick 2.15
import QtQuick.Controls 2.15
import "../../controls"

// An IPv4 address entry: digits and dots only.
TextField {
    width: 300
    height: 56
    font.pixelSize: Theme.fontBody
    maximumLength: 15
    inputMethodHints: Qt.ImhFormattedNumbersOnly | Qt.ImhNoPredictiveText
    validator: RegularExpressionValidator {
        regularExpression: /[0-9.]*/
    }
}
