#include "Diagnostics.h"
#include "UiTestBed.h"

#include <QQuickItem>
#include <QtTest>

// The maintenance settings area on the real window and the real manager,
// with a broker and a peer standing in for the validation service.
class tst_SettingsUi : public QObject
{
    Q_OBJECT

private:
    UiTestBed m_bed;

private slots:
    void initTestCase() { UiTestBed::initTestCase(); }

    // Logged in, on the section list, with the validation service
    // initialising (so that leaving the area has a screen to go to).
    void init()
    {
        QVERIFY(m_bed.start([this](GUIManager &gui) { gui.diagnostics()->setReportDirectory(m_bed.dir->path()); }));
        // Retained, as the service does: the UI may still be subscribing.
        QVERIFY(m_bed.peer->publish("kivo/blm/status", R"({"service": true, "state": {"init": true}})", 1, true));
        QTRY_COMPARE_WITH_TIMEOUT(m_bed.value("validatorManager.status").toString(), QStringLiteral("init"), 30000);
        m_bed.gui->settingsLoginRequest("3917");
        m_bed.gui->setMaintenanceScreen();
        QTRY_COMPARE_WITH_TIMEOUT(m_bed.value("settingsTitle.text").toString(), QStringLiteral("Settings"), 30000);
    }

    // Taking the window down with a page open must be quiet too.
    void cleanup() { QCOMPARE(m_bed.stop().join('\n'), QString()); }

    // Each section opens by a tap; whoever leaves the area and comes back
    // finds the list again, in place.
    void sections()
    {
        for (const QStringList &section : QList<QStringList>{{"Validator"}, {"Diagnostics"}, {"Audio"}, {"Display"},
                                                             {"Network"}, {"Update"}, {"EventLog", "Event Log"},
                                                             {"Region", "Date, time and languange settings"}}) {
            m_bed.walk({{"section" + section[0], "settingsTitle.text", section.last()},
                        {"settingsStack.busy", "false"},
                        {"manager.screen=Busy", "manager.setMaintenanceScreen()", "settingsTitle.text", "Settings"},
                        {"settingsStack.depth", "1"},
                        {"settingsStack.currentItem.opacity", "1"},
                        {"settingsStack.currentItem.x", "0"}});
        }
    }

    // The reader reads only while the scan pop-up waits for a code; a code
    // applied meanwhile is listed there. The power entries ask first; a
    // logout ends the session, so that the way back asks for the PIN.
    void menu()
    {
        m_bed.walk({{"settingsMenuButton", "menuScanConfig", "kivo/barcode/enable", ""},
                    {R"(kivo/blm/status {"service": true, "state": {"init": true},)"
                     R"( "device": {"barcode": {"enabled": true}}})",
                     "validatorManager.barcode.enabled", "true"},
                    {"kivo/blm/barcode/maintenance/scanned {\"validator\": {\"obc\": \"mqtt://obu.depot:1883\"}}",
                     "scanConfigResult.text", "CONFIGURATION APPLIED\nOBC : mqtt://obu.depot:1883"},
                    {"scanConfigPopupClose", "kivo/barcode/disable", ""},
                    {"settingsMenuButton", "menuShutdown", "settingsConfirmPopupCancel", "settingsConfirmPopup.visible",
                     "false"},
                    {"settingsMenuButton", "menuReboot", "settingsConfirmPopup.opened", "true"},
                    {"manager.screen", "Settings"},
                    {"settingsConfirmPopupOk", "kivo/inspector/power/reboot/request/+", ""},
                    {"manager.setMaintenanceScreen()", "settingsMenuButton", "menuShutdown", "settingsConfirmPopupOk",
                     "kivo/inspector/power/shutdown/request/+", ""},
                    {"manager.setMaintenanceScreen()", "settingsMenuButton", "menuLogout", "manager.screen", "Busy"},
                    {"manager.setMaintenanceScreen()", "manager.screen", "Login"}});
    }

    // The technician's verdicts and a card on the reader make the report; one
    // that cannot be written says so and shows no code.
    void diagnostics()
    {
        m_bed.walk({{"sectionDiagnostics", "diagOk_buzzer", "manager.diagnostics.buzzer", "OK"},
                    {"diagError_leds", "manager.diagnostics.leds", "ERROR"},
                    {R"(kivo/rfid/card/found {"uid": "04A1B2", "type": 8})", "manager.diagnostics.cardScan", "OK"},
                    {"diagnosticsFinishButton", "reportQrImage.status", "1"}, // Image.Ready
                    {"reportPopupClose", "reportPopup.visible", "false"}});
        QVERIFY(m_bed.value("reportMessage.text").toString().startsWith("Test report saved successfully:\n"));
        m_bed.gui->diagnostics()->setReportDirectory(m_bed.dir->filePath("missing/dir"));
        m_bed.walk({{"diagnosticsFinishButton", "reportQr.visible", "false"}});
        QVERIFY(m_bed.value("reportMessage.text").toString().startsWith("Could not save Test Report\nERROR: "));
    }
};

QTEST_MAIN(tst_SettingsUi)
#include "tst_settingsui.moc"
