#include "Config.h"
#include "GUIManager.h"
#include "QuickItems.h"
#include "UiTestBed.h"
#include "Transaction.h"
#include "logger.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

namespace {

// Pages the window has; every other screen name leaves the area empty.
const QStringList Pages = {"InitPage", "Busy",    "EntryGate", "ExitGate", "ScreenSaver",
                           "OutOfOrder", "OutOfService", "Invalid", "Login", "Settings"};

} // namespace

// The real window on the real GUI manager: every screen the manager sets
// must show without a single QML warning.
class tst_QmlUi : public QObject
{
    Q_OBJECT

private:
    UiTestBed m_bed;
    GUIManager *m_gui = nullptr;
    LogRecorder *m_log = nullptr;
    MosquittoBroker *m_broker = nullptr;
    Config *m_config = nullptr;
    QQuickWindow *m_window = nullptr;

    QObject *find(const QString &name) const { return m_bed.find(name); }
    QQuickItem *item(const QString &name) const { return m_bed.item(name); }
    QString currentScreen() const { return m_window->property("currentScreen").toString(); }

    // Lets the window render, so that images load and bindings settle.
    void render()
    {
        QTest::qWait(100);
        m_window->grabWindow();
        QTest::qWait(50);
    }

    QPoint centreOf(QQuickItem *target) const
    {
        return target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint();
    }

    void checkTouchTarget(QQuickItem *target)
    {
        QVERIFY(target);
        QVERIFY2(target->width() >= 48 && target->height() >= 48, qPrintable(target->objectName()));
    }

private slots:
    void initTestCase() { UiTestBed::initTestCase(); }

    void init()
    {
        QVERIFY(m_bed.start());
        m_gui = m_bed.gui.get();
        m_log = m_bed.log.get();
        m_broker = m_bed.broker.get();
        m_config = m_bed.config.get();
        m_window = m_bed.window;
        render();
    }

    void cleanup()
    {
        m_window = nullptr;
        const QStringList problems = m_bed.stop();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void window()
    {
        QCOMPARE(m_window->width(), 1024);
        QCOMPARE(m_window->height(), 600);
        QCOMPARE(m_window->title(), QStringLiteral("LTXGTerminal"));
        QCOMPARE(m_window->color(), QColor(Qt::white));
        QCOMPARE(currentScreen(), QStringLiteral("Busy"));
        QCOMPARE(m_window->property("title").toString(), QStringLiteral("LTXGTerminal"));

        QQuickItem *version = item("versionLabel");
        QVERIFY(version);
        QCOMPARE(version->property("text").toString(), QStringLiteral("v050fccb"));
        QVERIFY(version->isVisible());

        QQuickItem *date = item("clockDate");
        QVERIFY(date);
        // Read twice around midnight.
        const QString today = QDate::currentDate().toString("dd-MM-yyyy");
        const QString shown = date->property("text").toString();
        QVERIFY(shown == today || shown == QDate::currentDate().toString("dd-MM-yyyy"));
        QCOMPARE(item("clockTime")->property("text").toString().size(), 5);
        QQuickItem *logo = item("headerLogo");
        QCOMPARE(logo->height(), 72.0);
        QCOMPARE(logo->width(), 216.0); // the picture's 3:1
        checkTouchTarget(item("clockArea"));

        // The cursor follows the setting.
        QQuickItem *cursor = item("cursorArea");
        QVERIFY(cursor);
        QCOMPARE(cursor->property("cursorShape").toInt(), int(Qt::ArrowCursor));
        QCOMPARE(cursor->property("acceptedButtons").toInt(), int(Qt::NoButton));
        m_gui->setShowCursor(false);
        QTRY_COMPARE(cursor->property("cursorShape").toInt(), int(Qt::BlankCursor));

        // The window's locale follows the language.
        m_gui->setLanguage("en_IE");
        QCOMPARE(m_window->property("locale").toLocale().name(), QStringLiteral("en_IE"));
    }

    // Every screen name the manager sets, plus one it does not know.
    void screens()
    {
        const QStringList names = {"InitPage", "OutOfService", "OutOfOrder", "Login",    "Settings", "ScreenSaver",
                                   "Invalid",  "EntryGate",    "ExitGate",   "Busy", "NoSuchScreen"};
        QQuickItem *header = item("header");
        QVERIFY(header);
        // A page is created when first shown, then kept.
        QStringList shown = {currentScreen()};
        for (const QString &name : names) {
            m_gui->setScreen(name);
            QCOMPARE(currentScreen(), name);
            QVERIFY(m_log->contains("[QML] Screen changed : " + name));
            render();
            QCOMPARE(currentScreen(), m_gui->screen());
            shown << name;
            for (const QString &page : Pages) {
                QQuickItem *loader = item("page" + page);
                QVERIFY2(loader, qPrintable(page));
                QCOMPARE(loader->property("item").value<QObject *>() != nullptr, shown.contains(page));
                QCOMPARE(loader->isVisible(), page == currentScreen());
            }
            const bool bare = currentScreen() == "Settings" || currentScreen() == "ScreenSaver";
            QCOMPARE(header->isVisible(), !bare);
            QVERIFY2(m_bed.qmlProblems().isEmpty(), qPrintable(name + ": " + m_bed.qmlProblems().join('\n')));
        }

        // The normal page is chosen by the window alone; setting the old name
        // again changes nothing, a timed screen always does.
        m_gui->setScreen("Busy");
        emit m_gui->resetInitialScreen();
        QCOMPARE(currentScreen(), QStringLiteral("EntryGate"));
        QCOMPARE(m_gui->screen(), QStringLiteral("Busy"));
        m_gui->setScreen("Busy");
        QCOMPARE(currentScreen(), QStringLiteral("EntryGate"));
        QVERIFY(!item("pageBusy")->isVisible());
        m_gui->setScreen("Busy", 60000);
        QCOMPARE(currentScreen(), QStringLiteral("Busy"));
        QVERIFY(item("pageBusy")->isVisible());
    }

    void maintenanceButton()
    {
        QQuickItem *clock = item("clockArea");
        QVERIFY(clock);
        // A short tap does nothing.
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centreOf(clock));
        QTest::qWait(1200);
        QCOMPARE(m_gui->screen(), QStringLiteral("Busy"));

        QTest::mousePress(m_window, Qt::LeftButton, {}, centreOf(clock));
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("Login"), 5000);
        QTest::mouseRelease(m_window, Qt::LeftButton, {}, centreOf(clock));
        QCOMPARE(currentScreen(), QStringLiteral("Login"));
        render();

        // No header on the screen saver, so no way into maintenance there.
        m_gui->setScreen("ScreenSaver");
        QVERIFY(!item("header")->isVisible());
        QTest::mousePress(m_window, Qt::LeftButton, {}, QPoint(900, 60));
        QTest::qWait(1200);
        QTest::mouseRelease(m_window, Qt::LeftButton, {}, QPoint(900, 60));
        QCOMPARE(m_gui->screen(), QStringLiteral("ScreenSaver"));
    }

    void errorPopup()
    {
        // Made the first time an error is shown, then kept.
        QVERIFY(!find("errorPopup"));
        emit m_gui->errorOccured(QStringLiteral("Could not save the device id"));
        QVERIFY(m_log->contains("[QML] Error occured : Could not save the device id"));
        QObject *popup = find("errorPopup");
        QVERIFY(popup);
        QTRY_VERIFY(popup->property("opened").toBool());
        QCOMPARE(item("errorPopupText")->property("text").toString(), QStringLiteral("Could not save the device id"));
        QQuickItem *ok = item("errorPopupOk");
        checkTouchTarget(ok);
        QVERIFY(!item("errorPopupCancel")->isVisible());
        render();
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centreOf(ok));
        QTRY_VERIFY(!popup->property("visible").toBool());
    }

    void busyPage()
    {
        QVERIFY(item("pageBusy")->isVisible());
        m_gui->setMessage("Please Wait");
        QCOMPARE(item("busyMessage")->property("text").toString(), QStringLiteral("Please Wait"));
        QVERIFY(item("busyIndicator")->property("running").toBool());

        // A terminal that is busy issues no card: only the passenger page does.
        QTest::mouseClick(m_window, Qt::LeftButton, {}, QPoint(512, 400));
        QTRY_VERIFY(m_log->contains("WARN: Not serving passengers. Ignoring card request."));
        QCOMPARE(m_gui->message(), QStringLiteral("Please Wait"));
    }

    void faultPages()
    {
        m_gui->setScreen("OutOfOrder");
        m_gui->setMessage("E42 No route");
        QQuickItem *page = item("pageOutOfOrder")->property("item").value<QQuickItem *>();
        QVERIFY(page);
        QCOMPARE(findNamed(page, "messageText")->property("text").toString(), QStringLiteral("E42 No route"));
        QCOMPARE(findNamed(page, "messageTitle")->property("text").toString(), QStringLiteral("Out of order"));
        QCOMPARE(findNamed(page, "messageIcon")->property("status").toInt(), 1);

        m_gui->setScreen("OutOfService");
        page = item("pageOutOfService")->property("item").value<QQuickItem *>();
        QCOMPARE(findNamed(page, "messageText")->property("text").toString(), QStringLiteral("E42 No route"));
        QCOMPARE(findNamed(page, "messageTitle")->property("text").toString(), QStringLiteral("Out of service"));
        render();
        QCOMPARE(findNamed(page, "messageIcon")->property("status").toInt(), 1);
    }

    void screenSaver()
    {
        m_gui->setScreen("ScreenSaver");
        render();
        QQuickItem *page = item("pageScreenSaver")->property("item").value<QQuickItem *>();
        QVERIFY(page);
        QCOMPARE(page->property("color").value<QColor>(), QColor(Qt::black));
        QQuickItem *image = item("screenSaverImage");
        QCOMPARE(image->property("source").toUrl(), QUrl("qrc:/qml/images/Icons/kivo-logo-top-gr.svg"));
        QCOMPARE(image->property("status").toInt(), 1);
        QCOMPARE(page->width(), 1024.0);
        QCOMPARE(page->height(), 600.0);

        m_config->set("gui/screenSaverBg", "darkblue");
        QTRY_COMPARE(page->property("color").value<QColor>(), QColor("darkblue"));
        m_config->set("gui/screenSaverImg", "qrc:/qml/images/warning.svg");
        QTRY_COMPARE(image->property("source").toUrl(), QUrl("qrc:/qml/images/warning.svg"));
        render();
        QCOMPARE(image->property("status").toInt(), 1);
    }

    void invalidPage()
    {
        m_gui->setScreen("Invalid");
        QCOMPARE(item("invalidTitle")->property("text").toString(), QStringLiteral("Invalid ticket"));
        // Until a validation arrives, the context holds an empty record.
        QCOMPARE(item("invalidReason")->property("text").toString(), Transaction().denyReason());

        QQmlContext *context = qmlEngine(m_window)->rootContext();
        context->setContextProperty("transaction",
                                    QVariantMap{{"valid", false},
                                                {"denyReason", "Ticket expired"},
                                                {"details", QVariantMap{{"fromStopGroupName", "Harbour"},
                                                                        {"toStopGroupName", ""},
                                                                        {"remaining", 3},
                                                                        {"deducted", 0},
                                                                        {"expires", QDateTime()},
                                                                        {"zone", "A"}}}});
        render();
        QCOMPARE(item("invalidReason")->property("text").toString(), QStringLiteral("Ticket expired"));
        QVERIFY(item("invalidReason")->isVisible());
        QStringList details;
        for (QQuickItem *line : item("invalidDetails")->childItems()) {
            if (line->property("text").isValid())
                details << line->property("text").toString();
        }
        details.sort();
        // Labelled for a passenger; what the record leaves empty is not shown.
        QCOMPARE(details, (QStringList{"From: Harbour", "Remaining: 3", "zone: A"}));
    }

    void exitGate()
    {
        m_gui->setScreen("ExitGate");
        render();
        QQuickItem *page = item("pageExitGate")->property("item").value<QQuickItem *>();
        QVERIFY(page && page->isVisible());
        QCOMPARE(item("exitMessage")->property("text").toString(), QStringLiteral("Have a nice trip"));
        QCOMPARE(item("exitIcon")->property("status").toInt(), 1);
        QCOMPARE(item("exitFrontPlate")->property("text").toString(), QStringLiteral("-"));
        QCOMPARE(item("exitRearPlate")->property("text").toString(), QStringLiteral("-"));

        page->setProperty("frontPlate", "ABC-1234");
        page->setProperty("rearPlate", "XYZ-9876");
        page->setProperty("message", "Barrier opening");
        QCOMPARE(item("exitFrontPlate")->property("text").toString(), QStringLiteral("ABC-1234"));
        QCOMPARE(item("exitRearPlate")->property("text").toString(), QStringLiteral("XYZ-9876"));
        QCOMPARE(item("exitMessage")->property("text").toString(), QStringLiteral("Barrier opening"));
        render();
    }
};

QTEST_MAIN(tst_QmlUi)
#include "tst_qmlui.moc"
