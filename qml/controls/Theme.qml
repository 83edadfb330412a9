pragma Singleton
import QtQuick 2.15

// The look of the whole interface: every page takes its colours, text sizes,
// spacing and touch sizes from here.
QtObject {
    // Colours
    readonly property color background: "white"
    readonly property color text: "#263238"
    readonly property color textSecondary: "#455a64"
    readonly property color textMuted: "#546e7a"
    readonly property color hint: "#607d8b"
    readonly property color faint: "#90a4ae"
    readonly property color border: "#cfd8dc"
    readonly property color pressed: "#b0bec5"
    readonly property color panel: "#eceff1"
    readonly property color panelLight: "#f5f7f8"
    readonly property color accent: "#1976d2"
    readonly property color accentLight: "#e3f2fd"
    readonly property color textOnAccent: "white"
    readonly property color ok: "#2e7d32"
    readonly property color error: "#d32f2f"
    readonly property color warning: "#e65100"

    // Text sizes, in pixels, smallest first
    readonly property int fontCaption: 14
    readonly property int fontSmall: 16
    readonly property int fontBody: 18
    readonly property int fontLarge: 20
    readonly property int fontControl: 22
    readonly property int fontHeading: 28
    readonly property int fontTitle: 32
    readonly property int fontDisplay: 40

    // Spacing between and around items
    readonly property int spacingTight: 2
    readonly property int spacingSmall: 8
    readonly property int spacing: 16
    readonly property int spacingLarge: 24
    readonly property int spacingHuge: 32
    readonly property int radius: 4
    readonly property int radiusLarge: 8

    // Touch sizes: nothing a finger must hit is smaller than touchMinimum.
    readonly property int touchMinimum: 48
    readonly property int controlHeight: 56
    readonly property int rowHeight: 64
    // Buttons at the bottom of a page stay clear of the version label.
    readonly property int versionClearance: 28
}
