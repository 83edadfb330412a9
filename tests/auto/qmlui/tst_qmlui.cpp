#include "QuickItems.h"
#include "UiTestBed.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

// The real window on the real GUI manager: the passenger pages and the way
// into maintenance, every screen without a single QML warning.
class tst_QmlUi : public QObject
{
    Q_OBJECT

private:
    UiTestBed m_bed;
    GUIManager *m_gui = nullptr;
    QQuickWindow *m_window = nullptr;

    QQuickItem *item(const QString &name) const { return m_bed.item(name); }
    QString textOf(const QString &name) const { return item(name)->property("text").toString(); }
    QString currentScreen() const { return m_window->property("currentScreen").toString(); }
    // Lets the window render, so that images load and bindings settle.
    void render() { QTest::qWait(100); m_window->grabWindow(); }

private slots:
    void initTestCase() { UiTestBed::initTestCase(); }

    void init()
    {
        QVERIFY(m_bed.start());
        m_gui = m_bed.gui.get();
        m_window = m_bed.window;
        render();
    }

    void cleanup()
    {
        const QStringList problems = m_bed.stop();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void header()
    {
        QCOMPARE(textOf("versionLabel"), QStringLiteral("v050fccb"));
        // No mouse cursor over the touch screen once the setting says so.
        m_gui->setShowCursor(false);
        QTRY_COMPARE(item("cursorArea")->property("cursorShape").toInt(), int(Qt::BlankCursor));
    }

    // Each screen name shows its page alone (an unknown one none); no way into
    // maintenance on the settings and the screen saver.
    void screens()
    {
        const QStringList pages = {"InitPage",     "Busy",       "EntryGate", "ExitGate", "ScreenSaver",
                                   "OutOfOrder", "OutOfService", "Invalid",   "Login",    "Settings"};
        for (const QString &name : pages + QStringList{"NoSuchScreen", "Busy"}) {
            m_gui->setScreen(name);
            render();
            for (const QString &other : pages)
                QVERIFY2(item("page" + other)->isVisible() == (other == name), qPrintable(name + " " + other));
            QCOMPARE(item("header")->isVisible(), name != "Settings" && name != "ScreenSaver");
            QVERIFY2(m_bed.qmlProblems().isEmpty(), qPrintable(name + ": " + m_bed.qmlProblems().join('\n')));
        }

        // The normal page is chosen by the window alone; setting the old name
        // again changes nothing, a timed screen always does.
        emit m_gui->resetInitialScreen();
        QCOMPARE(currentScreen(), QStringLiteral("EntryGate"));
        m_gui->setScreen("Busy");
        QCOMPARE(currentScreen(), QStringLiteral("EntryGate"));
        m_gui->setScreen("Busy", 60000);
        QVERIFY(item("pageBusy")->isVisible());
    }

    // A long press on the clock leads to maintenance.
    void maintenanceButton()
    {
        QQuickItem *clock = item("clockArea");
        QVERIFY(clock->width() >= 48 && clock->height() >= 48);
        const QPoint centre = clock->mapToScene(QPointF(clock->width() / 2, clock->height() / 2)).toPoint();
        QTest::mousePress(m_window, Qt::LeftButton, {}, centre);
        QTRY_COMPARE_WITH_TIMEOUT(currentScreen(), QStringLiteral("Login"), 5000);
        QTest::mouseRelease(m_window, Qt::LeftButton, {}, centre);
    }

    void errorPopup()
    {
        emit m_gui->errorOccured(QStringLiteral("Could not save the device id"));
        QObject *popup = m_bed.find("errorPopup");
        QTRY_VERIFY(popup && popup->property("opened").toBool());
        QCOMPARE(textOf("errorPopupText"), QStringLiteral("Could not save the device id"));
        QVERIFY(tapNamed(m_window, "errorPopupOk"));
        QTRY_VERIFY(!popup->property("visible").toBool());
    }

    void busyPage()
    {
        m_gui->setMessage("Please Wait");
        QCOMPARE(textOf("busyMessage"), QStringLiteral("Please Wait"));
        // A terminal that is busy issues no card: only the passenger page does.
        QTest::mouseClick(m_window, Qt::LeftButton, {}, QPoint(512, 400));
        QTRY_VERIFY(m_bed.log->contains("WARN: Not serving passengers. Ignoring card request."));
    }

    // The technician's message shows under each fault page's own title.
    void faultPages()
    {
        m_gui->setMessage("E42 No route");
        const QList<QStringList> faults = {{"OutOfOrder", "Out of order"}, {"OutOfService", "Out of service"}};
        for (const QStringList &fault : faults) {
            m_gui->setScreen(fault[0]);
            render();
            QQuickItem *shown = item("page" + fault[0])->property("item").value<QQuickItem *>();
            QCOMPARE(findNamed(shown, "messageText")->property("text").toString(), QStringLiteral("E42 No route"));
            QCOMPARE(findNamed(shown, "messageTitle")->property("text").toString(), fault[1]);
            QCOMPARE(findNamed(shown, "messageIcon")->property("status").toInt(), 1); // Image.Ready
        }
    }

    // The screen saver shows the configured image.
    void screenSaver()
    {
        m_gui->setScreen("ScreenSaver");
        m_bed.config->set("gui/screenSaverImg", "qrc:/qml/images/warning.svg");
        QTRY_COMPARE(item("screenSaverImage")->property("source").toUrl(), QUrl("qrc:/qml/images/warning.svg"));
        render();
        QCOMPARE(item("screenSaverImage")->property("status").toInt(), 1);
    }

    // A refused ticket says why, with the details a passenger can use.
    void invalidPage()
    {
        m_gui->setScreen("Invalid");
        const QVariantMap details{{"fromStopGroupName", "Harbour"}, {"toStopGroupName", ""}, {"remaining", 3},
                                  {"deducted", 0}, {"expires", QDateTime()}, {"zone", "A"}};
        qmlEngine(m_window)->rootContext()->setContextProperty(
            "transaction", QVariantMap{{"valid", false}, {"denyReason", "Ticket expired"}, {"fareProduct", "Day pass"},
                                       {"details", details}});
        render();
        QCOMPARE(textOf("invalidReason"), QStringLiteral("Ticket expired"));
        QStringList lines;
        for (QQuickItem *line : item("invalidDetails")->childItems()) {
            if (line->property("text").isValid())
                lines << line->property("text").toString();
        }
        lines.sort();
        // Labelled for a passenger; what the record leaves empty is not shown.
        QCOMPARE(lines, (QStringList{"From: Harbour", "Remaining: 3", "zone: A"}));
    }
};

QTEST_MAIN(tst_QmlUi)
#include "tst_qmlui.moc"
