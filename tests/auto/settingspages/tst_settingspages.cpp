#include "QuickItems.h"
#include "UiTestBed.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

namespace {

const QString PageUrl = QStringLiteral("qrc:/qml/screens/settings/%1.qml");

// Visible touch controls smaller than a finger, by object name.
void collectSmallControls(QQuickItem *root, QStringList &small)
{
    for (const char *type : {"QQuickAbstractButton", "QQuickSlider", "QQuickSpinBox", "QQuickComboBox", "QQuickTextField"}) {
        if (root->inherits(type) && root->isVisible() && (root->width() < 48 || root->height() < 48))
            small << root->objectName();
    }
    for (QQuickItem *child : root->childItems())
        collectSmallControls(child, small);
}

} // namespace

// The maintenance section pages in the real window, on the real GUI manager
// and a real broker, with a peer that plays the device services.
class tst_SettingsPages : public QObject
{
    Q_OBJECT

private:
    UiTestBed m_bed;
    GUIManager *m_gui = nullptr;
    LogRecorder *m_log = nullptr;
    MqttPeer *m_peer = nullptr;
    QQuickWindow *m_window = nullptr;
    QQuickItem *m_stack = nullptr;

    // The stack first: the window's other pages may use the same names.
    QQuickItem *item(const QString &name) const
    {
        QObject *found = findNamed(m_stack, name);
        return qobject_cast<QQuickItem *>(found ? found : findNamed(m_window->contentItem(), name));
    }
    QQuickItem *top() const { return m_stack->property("currentItem").value<QQuickItem *>(); }
    QString valueOf(const QString &row) const { return item(row + "Value")->property("text").toString(); }

    QQuickItem *open(const QString &page)
    {
        QVariant result;
        QMetaObject::invokeMethod(m_stack, "open", Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, PageUrl.arg(page)));
        QTest::qWait(50);
        return result.value<QQuickItem *>();
    }

    // Scrolls the page until the target shows, then taps it at `at` (a
    // fraction of its width) like a finger would.
    void tap(QQuickItem *target, qreal at = 0.5)
    {
        QVERIFY(target);
        for (QQuickItem *parent = target->parentItem(); parent; parent = parent->parentItem()) {
            if (parent->inherits("QQuickFlickable")) {
                const qreal y = target->mapToItem(parent->property("contentItem").value<QQuickItem *>(), {}).y();
                const qreal room = parent->property("contentHeight").toReal() - parent->height();
                parent->setProperty("contentY", qBound(0.0, y - parent->height() / 3, qMax(0.0, room)));
                break;
            }
        }
        QTest::qWait(20);
        const QPoint point = target->mapToScene(QPointF(target->width() * at, target->height() / 2)).toPoint();
        QVERIFY(QRect(0, 0, m_window->width(), m_window->height()).contains(point));
        QTest::mouseClick(m_window, Qt::LeftButton, {}, point);
        // A push or pop slides the pages for a while.
        QTRY_VERIFY(!m_stack->property("busy").toBool());
    }

    QJsonObject expect(const QString &topic)
    {
        const auto message = m_peer->waitForMessage(topic);
        return message ? QJsonDocument::fromJson(message->payload).object() : QJsonObject{{"missing", topic}};
    }

    void serve(const QString &topic, const QByteArray &json) { QVERIFY(m_peer->publish(topic, json)); }

private slots:
    void initTestCase() { UiTestBed::initTestCase(); }

    void init()
    {
        QVERIFY(m_bed.start());
        m_gui = m_bed.gui.get();
        m_log = m_bed.log.get();
        m_peer = m_bed.peer.get();
        m_window = m_bed.window;
        QVERIFY(m_peer->waitForMessage("kivo/ui/info")); // sent after subscribing
        // The settings area's own stack, over everything else.
        QQmlComponent component(qmlEngine(m_window));
        component.setData("import QtQuick 2.15\nimport QtQuick.Controls 2.15\n"
                          "StackView { z: 100; width: 1024; height: 600\n"
                          "    function open(url) { return push(url, {}, StackView.Immediate) } }",
                          QUrl("qrc:/test/SettingsStack.qml"));
        m_stack = qobject_cast<QQuickItem *>(component.create(qmlContext(m_window)));
        QVERIFY2(m_stack, qPrintable(component.errorString()));
        m_stack->setParent(m_window->contentItem());
        m_stack->setParentItem(m_window->contentItem());
    }

    void cleanup()
    {
        // The pages stay open: taking the window down must be quiet too.
        m_stack = nullptr;
        m_window = nullptr;
        const QStringList problems = m_bed.stop();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    // Every page loads on the real context objects, titles itself and keeps
    // each touch control large enough for a finger.
    void pages()
    {
        // File, root object name, title.
        const QList<QStringList> pages = {{"Region", "regionPage", "Date, time and languange settings"},
                                          {"Audio", "audioPage", "Audio"},
                                          {"Display", "displayPage", "Display"},
                                          {"Network", "networkPage", "Network"},
                                          {"Ethernet", "ethernetPage", "Ethernet"},
                                          {"EthernetConfig", "ethernetConfigPage", "Ethernet configuration"},
                                          {"Update", "updatePage", "Update"}};
        for (const QStringList &page : pages) {
            QQuickItem *root = open(page[0]);
            QVERIFY2(root && root->inherits("QQuickPage"), qPrintable(page[0]));
            QCOMPARE(root->objectName(), page[1]);
            QCOMPARE(root->property("title").toString(), page[2]);
            QStringList small;
            collectSmallControls(root, small);
            QVERIFY2(small.isEmpty(), qPrintable(page[0] + ": " + small.join(", ")));
        }
    }

    void ethernet()
    {
        serve("kivo/network/ethernet/state",
              "{\"interface\": \"eth0\", \"stateStr\": \"connected\", \"mac\": \"00:11:22:33:44:55\","
              " \"ipv4\": {\"address\": \"10.1.2.3\", \"netmask\": \"255.0.0.0\", \"dns0\": \"10.0.0.53\"}}");
        serve("kivo/network/ethernet/config", "{\"interface\": \"eth0\", \"method\": \"auto\"}");
        open("Network");
        m_peer->clear();
        tap(item("ethernetButton"));
        QCOMPARE(top()->objectName(), QStringLiteral("ethernetPage"));
        QVERIFY(m_peer->waitForMessage("kivo/network/ethernet/state/get"));
        QTRY_COMPARE(valueOf("ethernetAddress"), QStringLiteral("10.1.2.3"));
        QCOMPARE(valueOf("ethernetDns"), QStringLiteral("10.0.0.53"));
        QCOMPARE(valueOf("ethernetMethod"), QStringLiteral("Automatic (DHCP)"));

        tap(item("ethernetConfigButton"));
        QCOMPARE(top()->objectName(), QStringLiteral("ethernetConfigPage"));
        QQuickItem *save = item("ethernetSaveButton");
        QVERIFY(!save->isEnabled());
        QVERIFY(!item("addressField")->isEnabled());
        tap(item("methodManual"));
        QVERIFY(item("addressField")->isEnabled());
        QVERIFY(!save->isEnabled());
        item("addressField")->setProperty("text", "192.168.1.20");
        item("netmaskField")->setProperty("text", "255.0.255.0"); // not a mask
        item("dns0Field")->setProperty("text", "192.168.1.1");
        QVERIFY(!save->isEnabled());
        item("netmaskField")->setProperty("text", "255.255.255.0");
        item("gatewayField")->setProperty("text", "192.168.1.300");
        QVERIFY(!save->isEnabled());
        item("gatewayField")->setProperty("text", "192.168.1.1");
        QVERIFY(save->isEnabled());

        // A configuration echo while editing leaves the edit alone.
        serve("kivo/network/ethernet/config", "{\"interface\": \"eth0\", \"method\": \"auto\", \"dns1\": \"9.9.9.9\"}");
        QObject *network = qmlContext(m_window)->contextProperty("network").value<QObject *>();
        QObject *config = network->property("ethernet").value<QObject *>()->property("config").value<QObject *>();
        QTRY_COMPARE(config->property("dns1").toString(), QStringLiteral("9.9.9.9"));
        QCOMPARE(item("addressField")->property("text").toString(), QStringLiteral("192.168.1.20"));

        m_peer->clear();
        tap(save);
        const QJsonObject sent = expect("kivo/network/ethernet/config/set");
        QCOMPARE(sent, QJsonObject({{"interface", "eth0"}, {"method", "manual"}, {"address", "192.168.1.20"},
                                    {"netmask", "255.255.255.0"}, {"gateway", "192.168.1.1"},
                                    {"dns0", "192.168.1.1"}, {"dns1", ""}}));
        QCOMPARE(top()->objectName(), QStringLiteral("ethernetPage"));
    }

    void language()
    {
        QVERIFY(open("Region"));
        QCOMPARE(item("flag_el_GR")->property("status").toInt(), 1); // Image.Ready
        QCOMPARE(item("flag_en_US")->property("status").toInt(), 1);
        QVERIFY(item("language_en_US")->property("highlighted").toBool());
        tap(item("language_en_IE"));
        QCOMPARE(m_gui->language(), QStringLiteral("en_IE"));
        QVERIFY(item("language_en_IE")->property("highlighted").toBool());
        QVERIFY(!item("language_en_US")->property("highlighted").toBool());
        // Greek re-translates every text of the page in place.
        tap(item("language_el_GR"));
        QCOMPARE(m_gui->language(), QStringLiteral("el_GR"));
        QVERIFY(item("language_el_GR")->property("highlighted").toBool());
        m_gui->setLanguage("en_US");
        QVERIFY(item("language_en_US")->property("highlighted").toBool());

        // Network time: the service's server shows; only a sound name is sent.
        serve("kivo/device/clock/ntp/config", "{\"enabled\": true, \"server\": \"pool.ntp.org\"}");
        QQuickItem *server = item("ntpServerField");
        QTRY_COMPARE(server->property("text").toString(), QStringLiteral("pool.ntp.org"));
        QTRY_VERIFY(item("ntpSwitch")->property("checked").toBool());
        QVERIFY(!item("ntpServerApply")->isEnabled());
        server->setProperty("text", "ntp bad;host");
        QVERIFY(!item("ntpServerApply")->isEnabled());
        server->setProperty("text", "time.example.org");
        tap(item("ntpServerApply"));
        QCOMPARE(expect("kivo/device/clock/ntp/config/set"),
                 QJsonObject({{"enabled", true}, {"server", "time.example.org"}}));
        tap(item("ntpSyncButton"));
        QVERIFY(m_peer->waitForMessage("kivo/device/clock/ntp/sync"));
    }

    void update()
    {
        open("Update");
        QCOMPARE(valueOf("updateStatus"), QStringLiteral("Disconnected"));
        QVERIFY(!item("updateInstallButton")->isEnabled());
        tap(item("updateCheckButton"));
        QVERIFY(m_peer->waitForMessage("kivo/device/software/check"));
        QCOMPARE(valueOf("updateStatus"), QStringLiteral("Checking for updates"));
        QVERIFY(!item("updateCheckButton")->isEnabled());

        serve("kivo/device/status", "{\"update\": {\"software\": {\"current\": \"1.0.0\", \"pending\": \"1.1.0\"}}}");
        QTRY_COMPARE(valueOf("updateStatus"), QStringLiteral("Ready to install"));
        QCOMPARE(valueOf("updateCurrent"), QStringLiteral("1.0.0"));
        QCOMPARE(valueOf("updatePending"), QStringLiteral("1.1.0"));
        tap(item("updateInstallButton"));
        QTRY_VERIFY(top()->findChild<QObject *>("updateInstallPopup")->property("opened").toBool());
        tap(item("updateInstallPopupOk"));
        QVERIFY(m_peer->waitForMessage("kivo/device/update/software/install"));

        serve("kivo/device/update/software/progress", "{\"message\": \"Fetching 3/10\", \"progress\": 30}");
        QTRY_COMPARE(item("updateProgressPercent")->property("text").toString(), QStringLiteral("30%"));
        QCOMPARE(valueOf("updateStatus"), QStringLiteral("Downloading"));
        QVERIFY(!item("updateInstallButton")->isEnabled());
    }

    void displayAndAudio()
    {
        open("Display");
        QVERIFY(m_log->contains("[Board] Monitor started : 1000 msec(s)"));
        serve("kivo/board/display", "{\"brightness\": 40, \"sensor\": 12, \"mode\": \"manual\"}");
        QTRY_COMPARE(item("brightnessLabel")->property("text").toString(), QStringLiteral("40%"));
        m_peer->clear();
        tap(item("brightnessSlider"), 0.8);
        const int brightness = expect("kivo/board/display/set").value("brightness").toInt(-1);
        QVERIFY2(brightness >= 70 && brightness <= 90, qPrintable(QString::number(brightness)));
        tap(item("brightnessModeSwitch"));
        QCOMPARE(expect("kivo/board/display/set"), QJsonObject({{"mode", "auto"}}));
        // Unchanged until the board reports the new mode.
        QVERIFY(item("brightnessSlider")->isEnabled());
        serve("kivo/board/display", "{\"brightness\": 40, \"sensor\": 12, \"mode\": \"auto\"}");
        QTRY_VERIFY(!item("brightnessSlider")->isEnabled());

        QQuickItem *spin = item("displayOffSpinBox");
        tap(spin, 1.0 - 24.0 / spin->width()); // the increase button
        QCOMPARE(m_gui->displayOffMin(), 4);
        QCOMPARE(spin->property("value").toInt(), 4);
        tap(item("showCursorSwitch"));
        QVERIFY(!m_gui->showCursor());

        QVERIFY(open("Audio"));
        QVERIFY(m_log->contains("[Board] Monitor stopped"));
        tap(item("audioSwitch"));
        QCOMPARE(expect("kivo/board/audio/set"), QJsonObject({{"mute", true}}));
        QVERIFY(item("audioSwitch")->property("checked").toBool()); // until the board says so
        serve("kivo/board/audio", "{\"mute\": true}");
        QTRY_VERIFY(!item("audioSwitch")->property("checked").toBool());
        tap(item("volumeSlider"), 0.5);
        QCOMPARE(expect("kivo/inspector/audio/set"), QJsonObject({{"internal", QJsonObject({{"volume", 50}})}}));
        tap(item("testSoundButton"));
        QCOMPARE(expect("kivo/inspector/audio/play"),
                 QJsonObject({{"device", "internal"}, {"filepath", "/opt/kivo/ltxgterminalui/Valid.wav"}}));
    }
};

QTEST_MAIN(tst_SettingsPages)
#include "tst_settingspages.moc"
