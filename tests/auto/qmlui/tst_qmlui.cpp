#include "UiTestBed.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtTest>

// The real window on the real GUI manager: the passenger pages and the way
// into maintenance, every screen without a single QML warning.
class tst_QmlUi : public QObject
{
    Q_OBJECT

private:
    UiTestBed m_bed;

private slots:
    void initTestCase() { UiTestBed::initTestCase(); }
    void init() { QVERIFY(m_bed.start()); }
    void cleanup() { QCOMPARE(m_bed.stop().join('\n'), QString()); }

    // Each screen name shows its page alone (an unknown one none) and the
    // header, but on the settings and the screen saver; each page what the
    // manager or the refused ticket gives it, the ticket's details labelled
    // for a passenger, those the record leaves empty not.
    void pages()
    {
        const QStringList pages = {"InitPage",     "Busy",       "EntryGate", "ExitGate", "ScreenSaver",
                                   "OutOfOrder", "OutOfService", "Invalid",   "Login",    "Settings"};
        for (const QString &screen : pages + QStringList{"NoSuchScreen", "Busy"}) {
            m_bed.gui->setScreen(screen);
            m_bed.window->grabWindow();
            for (const QString &page : pages)
                QVERIFY2(m_bed.item("page" + page)->isVisible() == (page == screen), qPrintable(screen + " " + page));
            QCOMPARE(m_bed.item("header")->isVisible(), screen != "Settings" && screen != "ScreenSaver");
        }
        // The normal page is chosen by the window alone; setting the old name
        // again changes nothing, a timed screen always does.
        emit m_bed.gui->resetInitialScreen();
        m_bed.gui->setScreen("Busy");
        QVERIFY(m_bed.item("pageEntryGate")->isVisible());
        m_bed.gui->setScreen("Busy", 60000);
        QVERIFY(m_bed.item("pageBusy")->isVisible());

        m_bed.gui->setMessage("E42 No route");
        m_bed.config->set("gui/screenSaverImg", "qrc:/qml/images/warning.svg");
        const QVariantMap details{{"fromStopGroupName", "Harbour"}, {"toStopGroupName", ""}, {"remaining", 3},
                                  {"deducted", 0}, {"expires", QDateTime()}, {"zone", "A"}};
        qmlEngine(m_bed.window)->rootContext()->setContextProperty("transaction", QVariantMap{
            {"denyReason", "Ticket expired"}, {"fareProduct", "Day pass"}, {"details", details}});
        m_bed.walk({{"manager.screen=InitPage", "serialField.text", "C12345678"},
                    {"manager.screen=Busy", "busyMessage.text", "E42 No route"},
                    {"manager.screen=ScreenSaver", "screenSaverImage.source", "qrc:/qml/images/warning.svg"},
                    {"screenSaverImage.status", "1"}, // Image.Ready
                    {"manager.screen=OutOfOrder", "pageOutOfOrder/messageTitle.text", "Out of order"},
                    {"pageOutOfOrder/messageText.text", "E42 No route"},
                    {"manager.screen=OutOfService", "pageOutOfService/messageTitle.text", "Out of service"},
                    {"pageOutOfService/messageText.text", "E42 No route"},
                    {"pageOutOfService/messageIcon.status", "1"},
                    {"manager.screen=Invalid", "invalidReason.text", "Ticket expired"}});
        QStringList lines;
        for (QQuickItem *line : m_bed.item("invalidDetails")->childItems())
            lines << line->property("text").toString();
        lines.sort(); // the repeater first, without a text
        QCOMPARE(lines, (QStringList{"", "From: Harbour", "Remaining: 3", "zone: A"}));
    }

    void window()
    {
        QCOMPARE(m_bed.value("versionLabel.text").toString(), QStringLiteral("v050fccb"));
        // No mouse cursor over the touch screen once the setting says so.
        m_bed.walk({{"manager.showCursor=false", "cursorArea.cursorShape", QString::number(Qt::BlankCursor)}});

        emit m_bed.gui->errorOccured(QStringLiteral("Could not save the device id"));
        m_bed.walk({{"errorPopupText.text", "Could not save the device id"},
                    {"errorPopupOk", "errorPopup.visible", "false"}});

        // A long press on the clock leads to maintenance.
        QQuickItem *clock = m_bed.item("clockArea");
        QVERIFY(clock->width() >= 48 && clock->height() >= 48);
        const QPoint centre = clock->mapToScene(QPointF(clock->width() / 2, clock->height() / 2)).toPoint();
        QTest::mousePress(m_bed.window, Qt::LeftButton, {}, centre);
        QTRY_VERIFY_WITH_TIMEOUT(m_bed.item("pageLogin")->isVisible(), 5000);
        QTest::mouseRelease(m_bed.window, Qt::LeftButton, {}, centre);
    }
};

QTEST_MAIN(tst_QmlUi)
#include "tst_qmlui.moc"
