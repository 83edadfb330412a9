#include "QuickItems.h"
#include "UiTestBed.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QQuickItem>
#include <QtTest>

// The device pages of the maintenance area in the real window, on the real
// GUI manager and a real broker, with a peer that plays the device services.
class tst_SettingsPages : public QObject
{
    Q_OBJECT

private:
    UiTestBed m_bed;
    GUIManager *m_gui = nullptr;
    MqttPeer *m_peer = nullptr;

    QQuickItem *item(const QString &name) const { return m_bed.item(name); }
    QQuickItem *stack() const { return item("settingsStack"); }
    QString valueOf(const QString &row) const { return item(row + "Value")->property("text").toString(); }
    void serve(const QString &topic, const QByteArray &json) { QVERIFY(m_peer->publish(topic, json)); }

    void open(const QString &section)
    {
        QVERIFY(QMetaObject::invokeMethod(stack()->parent(), "openSection", Q_ARG(QVariant, section)));
        QTRY_VERIFY(!stack()->property("busy").toBool());
    }

    void tap(const QString &name, qreal at = 0.5) { QVERIFY2(tapNamed(m_bed.window, name, at), qPrintable(name)); }
    QJsonObject expect(const QString &topic)
    {
        const auto message = m_peer->waitForMessage(topic);
        return message ? QJsonDocument::fromJson(message->payload).object() : QJsonObject{{"missing", topic}};
    }

private slots:
    void initTestCase() { UiTestBed::initTestCase(); }

    void init()
    {
        QVERIFY(m_bed.start());
        m_gui = m_bed.gui.get();
        m_peer = m_bed.peer.get();
        QVERIFY(m_peer->waitForMessage("kivo/ui/info")); // sent after subscribing
        m_gui->settingsLoginRequest("3917");
        m_gui->setMaintenanceScreen();
        QTRY_VERIFY(stack() && stack()->isVisible());
    }

    void cleanup()
    {
        // The pages stay open: taking the window down must be quiet too.
        const QStringList problems = m_bed.stop();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void controls_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("control");
        QTest::addColumn<qreal>("at"); // of its width
        QTest::addColumn<QString>("target"); // a topic, or a property of the manager
        QTest::addColumn<QString>("expected"); // empty: any message
        auto row = [](const char *tag, const char *section, const char *control, const char *target,
                      const char *expected) { QTest::newRow(tag) << section << control << 0.5 << target << expected; };
        row("brightness", "Display", "brightnessSlider", "kivo/board/display/set", R"({"brightness": 50})");
        row("auto brightness", "Display", "brightnessModeSwitch", "kivo/board/display/set", R"({"mode": "auto"})");
        row("cursor", "Display", "showCursorSwitch", "manager.showCursor", "false");
        QTest::newRow("display off") << "Display" << "displayOffSpinBox" << 0.9 << "manager.displayOffMin" << "4";
        row("mute", "Audio", "audioSwitch", "kivo/board/audio/set", R"({"mute": true})");
        row("volume", "Audio", "volumeSlider", "kivo/inspector/audio/set", R"({"internal": {"volume": 50}})");
        row("test sound", "Audio", "testSoundButton", "kivo/inspector/audio/play",
            R"({"device": "internal", "filepath": "/opt/kivo/ltxgterminalui/Valid.wav"})");
        row("language", "Region", "language_el_GR", "manager.language", "el_GR");
        row("clock sync", "Region", "ntpSyncButton", "kivo/device/clock/ntp/sync", "");
        row("update check", "Update", "updateCheckButton", "kivo/device/software/check", "");
        row("ethernet", "Network", "ethernetButton", "kivo/network/ethernet/state/get", "");
    }

    // A touch on each control reaches its service, or the manager, with the
    // chosen value.
    void controls()
    {
        QFETCH(QString, section);
        QFETCH(QString, control);
        QFETCH(qreal, at);
        QFETCH(QString, target);
        QFETCH(QString, expected);
        open(section);
        m_peer->clear();
        tap(control, at);
        if (target.startsWith("manager.")) {
            QTRY_COMPARE(m_gui->property(qPrintable(target.mid(8))).toString(), expected);
            return;
        }
        const QJsonObject sent = expect(target);
        QVERIFY(!sent.contains("missing"));
        if (!expected.isEmpty())
            QCOMPARE(sent, QJsonDocument::fromJson(expected.toUtf8()).object());
    }

    void ethernetConfig()
    {
        serve("kivo/network/ethernet/state", R"({"interface": "eth0", "stateStr": "connected",)"
              R"( "ipv4": {"address": "10.1.2.3", "netmask": "255.0.0.0", "gateway": "10.0.0.1"}})");
        serve("kivo/network/ethernet/config", R"({"interface": "eth0", "method": "auto"})");
        open("Network");
        tap("ethernetButton");
        QTRY_COMPARE(valueOf("ethernetAddress"), QStringLiteral("10.1.2.3"));
        QCOMPARE(valueOf("ethernetGateway"), QStringLiteral("10.0.0.1"));

        tap("ethernetConfigButton");
        const QStringList small = smallControls(stack()->property("currentItem").value<QQuickItem *>());
        QVERIFY2(small.isEmpty(), qPrintable(small.join(", ")));
        QVERIFY(!item("addressField")->isEnabled());
        tap("methodManual");
        QQuickItem *save = item("ethernetSaveButton");
        item("addressField")->setProperty("text", "192.168.1.20");
        item("netmaskField")->setProperty("text", "255.0.255.0"); // not a netmask
        item("gatewayField")->setProperty("text", "192.168.1.300");
        item("dns0Field")->setProperty("text", "192.168.1.1");
        QVERIFY(!save->isEnabled());
        item("netmaskField")->setProperty("text", "255.255.255.0");
        QVERIFY(!save->isEnabled());
        item("gatewayField")->setProperty("text", "192.168.1.1");
        QVERIFY(save->isEnabled());
        // A configuration echo while editing leaves the edit alone (the
        // network state after it shows on the page below).
        serve("kivo/network/ethernet/config", R"({"interface": "eth0", "method": "auto", "dns1": "9.9.9.9"})");
        serve("kivo/network/status", R"({"connectivityStr": "full"})");
        QTRY_COMPARE(valueOf("networkConnectivity"), QStringLiteral("full"));
        QCOMPARE(item("addressField")->property("text").toString(), QStringLiteral("192.168.1.20"));

        m_peer->clear();
        tap("ethernetSaveButton");
        QCOMPARE(expect("kivo/network/ethernet/config/set"),
                 QJsonObject({{"interface", "eth0"}, {"method", "manual"}, {"address", "192.168.1.20"},
                              {"netmask", "255.255.255.0"}, {"gateway", "192.168.1.1"},
                              {"dns0", "192.168.1.1"}, {"dns1", ""}}));
        QCOMPARE(stack()->property("currentItem").value<QObject *>()->objectName(), QStringLiteral("ethernetPage"));
    }

    // Only a sound host name goes to the clock service.
    void ntpServer()
    {
        open("Region");
        serve("kivo/device/clock/ntp/config", R"({"enabled": true, "server": "pool.ntp.org"})");
        QTRY_COMPARE(item("ntpServerField")->property("text").toString(), QStringLiteral("pool.ntp.org"));
        item("ntpServerField")->setProperty("text", "ntp bad;host");
        QVERIFY(!item("ntpServerApply")->isEnabled());
        item("ntpServerField")->setProperty("text", "time.example.org");
        tap("ntpServerApply");
        QCOMPARE(expect("kivo/device/clock/ntp/config/set"),
                 QJsonObject({{"enabled", true}, {"server", "time.example.org"}}));
    }

    void updateInstall()
    {
        open("Update");
        serve("kivo/device/status", R"({"update": {"software": {"pending": "1.1.0"}}})");
        QTRY_VERIFY(item("updateInstallButton")->isEnabled());
        // Installing asks first.
        tap("updateInstallButton");
        QTRY_VERIFY(item("updateInstallPopupOk") && item("updateInstallPopupOk")->isVisible());
        QCOMPARE(m_peer->messageCount("kivo/device/update/software/install"), 0);
        tap("updateInstallPopupOk");
        QVERIFY(m_peer->waitForMessage("kivo/device/update/software/install"));

        serve("kivo/device/update/software/progress", R"({"message": "Fetching 3/10", "progress": 30})");
        QTRY_COMPARE(item("updateProgressPercent")->property("text").toString(), QStringLiteral("30%"));
        QVERIFY(!item("updateInstallButton")->isEnabled());
    }
};

QTEST_MAIN(tst_SettingsPages)
#include "tst_settingspages.moc"
