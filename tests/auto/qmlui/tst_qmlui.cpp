#include "Config.h"
#include "GUIManager.h"
#include "LogRecorder.h"
#include "MosquittoBroker.h"
#include "Resources.h"
#include "Transaction.h"
#include "logger.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Pages the window has; every other screen name leaves the area empty.
const QStringList Pages = {"InitPage", "Busy",    "EntryGate", "ExitGate", "ScreenSaver",
                           "OutOfOrder", "OutOfService", "Invalid", "Login"};

// Searches the object tree and the visual tree, which differ for pages
// created by loaders and for pop-ups.
QObject *findNamed(QObject *root, const QString &name)
{
    if (!root)
        return nullptr;
    if (root->objectName() == name)
        return root;
    for (QObject *child : root->children()) {
        if (QObject *found = findNamed(child, name))
            return found;
    }
    if (auto *item = qobject_cast<QQuickItem *>(root)) {
        for (QQuickItem *child : item->childItems()) {
            if (child->parent() == root)
                continue;
            if (QObject *found = findNamed(child, name))
                return found;
        }
    }
    return nullptr;
}

} // namespace

// The real window on the real GUI manager: every screen the manager sets
// must show without a single QML warning.
class tst_QmlUi : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MosquittoBroker> m_broker;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<LogRecorder> m_log;
    std::unique_ptr<GUIManager> m_gui;
    QQuickWindow *m_window = nullptr;

    QObject *find(const QString &name) const { return findNamed(m_window, name); }
    QQuickItem *item(const QString &name) const { return qobject_cast<QQuickItem *>(find(name)); }
    QString currentScreen() const { return m_window->property("currentScreen").toString(); }

    // Warnings and errors of the QML engine: binding loops, undefined
    // properties, missing files, type errors.
    QStringList qmlProblems() const
    {
        QStringList problems;
        for (QtMsgType type : {QtWarningMsg, QtCriticalMsg, QtFatalMsg}) {
            const QStringList lines = m_log->lines(type);
            for (const QString &line : lines) {
                // Each manager sets the style again; only the first engine of
                // the process can take it, and the program has only one.
                if (line.contains(QLatin1String("QQuickStyle::setStyle()")))
                    continue;
                if (line.contains(QLatin1String("qml"), Qt::CaseInsensitive))
                    problems << line;
            }
        }
        return problems;
    }

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

    // The visible title of one of the entry gate's sub-pages, or an empty
    // string when that sub-page is hidden.
    QString entryTitle(const QString &subPage) const
    {
        QQuickItem *sub = item(subPage);
        if (!sub || !sub->isVisible())
            return QString();
        return findNamed(sub, "messageTitle")->property("text").toString();
    }

    void typePin(const QString &digits)
    {
        for (const QChar digit : digits) {
            QQuickItem *key = item(QStringLiteral("numberPadKey_") + digit);
            QVERIFY(key);
            QTest::mouseClick(m_window, Qt::LeftButton, {}, centreOf(key));
        }
    }

    void checkTouchTarget(QQuickItem *target)
    {
        QVERIFY(target);
        QVERIFY2(target->width() >= 48 && target->height() >= 48, qPrintable(target->objectName()));
    }

private slots:
    void initTestCase()
    {
        Resources::init();
        QCoreApplication::setApplicationName("LTXGTerminalUI");
        QCoreApplication::setApplicationVersion("050fccb");
        manager::Logger::instance();
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QFile serial(m_dir->filePath("serialnumber"));
        QVERIFY(serial.open(QIODevice::WriteOnly));
        serial.write("C12345678\n");
        serial.close();

        m_broker = std::make_unique<MosquittoBroker>();
        QVERIFY2(m_broker->start(), qPrintable(m_broker->log()));
        m_config = std::make_unique<Config>(m_dir->filePath("gui.conf"), GUIManager::Defaults);
        m_config->set("log/syslog", false);
        m_config->set("log/stderr", false);
        m_config->set("mqtt/host", m_broker->host());
        m_config->set("mqtt/port", int(m_broker->port()));
        m_config->set("gui/deviceId", m_dir->filePath("serialnumber"));
        m_config->set("gui/locale", "en_US");
        m_log = std::make_unique<LogRecorder>();

        m_gui = std::make_unique<GUIManager>(*m_config, m_dir->filePath("events.ini"));
        m_gui->load();
        m_window = qobject_cast<QQuickWindow *>(m_gui->parent());
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        render();
    }

    void cleanup()
    {
        const QStringList problems = m_log ? qmlProblems() : QStringList();
        m_window = nullptr;
        m_gui.reset();
        m_log.reset();
        m_config.reset();
        m_broker.reset();
        m_dir.reset();
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
        QCOMPARE(item("headerLogo")->property("status").toInt(), 1); // Image.Ready
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
        for (const QString &name : names) {
            m_gui->setScreen(name);
            QCOMPARE(currentScreen(), name);
            QVERIFY(m_log->contains("[QML] Screen changed : " + name));
            render();
            QCOMPARE(currentScreen(), m_gui->screen());
            for (const QString &page : Pages) {
                QQuickItem *loader = item("page" + page);
                QVERIFY2(loader, qPrintable(page));
                QVERIFY(loader->property("item").value<QObject *>());
                QCOMPARE(loader->isVisible(), page == currentScreen());
            }
            const bool bare = currentScreen() == "Settings" || currentScreen() == "ScreenSaver";
            QCOMPARE(header->isVisible(), !bare);
            QVERIFY2(qmlProblems().isEmpty(), qPrintable(name + ": " + qmlProblems().join('\n')));
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
        QObject *popup = find("errorPopup");
        QVERIFY(popup);
        QVERIFY(!popup->property("visible").toBool());
        emit m_gui->errorOccured(QStringLiteral("Could not save the device id"));
        QVERIFY(m_log->contains("[QML] Error occured : Could not save the device id"));
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

        // Only an entry gate issues cards on a tap.
        m_gui->setIsEntryGate(false);
        QTest::mouseClick(m_window, Qt::LeftButton, {}, QPoint(512, 400));
        QTest::qWait(200);
        QCOMPARE(m_gui->message(), QStringLiteral("Please Wait"));
        m_gui->setIsEntryGate(true);
        QTest::mouseClick(m_window, Qt::LeftButton, {}, QPoint(512, 400));
        QTRY_VERIFY(m_gui->message() == QStringLiteral("Issuing card") || m_gui->message().startsWith("FAILED"));
        QCOMPARE(item("busyMessage")->property("text").toString(), m_gui->message());
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
                                                {"details", QVariantMap{{"line", 7}, {"zone", "A"}}}});
        render();
        QCOMPARE(item("invalidReason")->property("text").toString(), QStringLiteral("Ticket expired"));
        QVERIFY(item("invalidReason")->isVisible());
        QStringList details;
        for (QQuickItem *line : item("invalidDetails")->childItems()) {
            if (line->property("text").isValid())
                details << line->property("text").toString();
        }
        details.sort();
        QCOMPARE(details, (QStringList{"line: 7", "zone: A"}));
    }

    void initPage()
    {
        m_gui->setScreen("InitPage");
        render();
        QQuickItem *field = item("serialField");
        QQuickItem *save = item("saveButton");
        QVERIFY(field && save);
        checkTouchTarget(save);
        QCOMPARE(field->property("text").toString(), QStringLiteral("C12345678"));
        QVERIFY(save->isEnabled());

        for (const char *bad : {"", "C1234567", "X12345678", "C,12345678", "C123456789", " C12345678"}) {
            field->setProperty("text", QString::fromLatin1(bad));
            QVERIFY2(!save->isEnabled(), bad);
        }
        field->setProperty("text", "KK87654321");
        QVERIFY(save->isEnabled());

        // Cancel keeps the old number.
        QObject *popup = find("confirmPopup");
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centreOf(save));
        QTRY_VERIFY(popup->property("opened").toBool());
        QCOMPARE(popup->property("title").toString(), QStringLiteral("Please confirm the serial number"));
        QCOMPARE(item("confirmPopupText")->property("text").toString(), QStringLiteral("KK87654321"));
        checkTouchTarget(item("confirmPopupCancel"));
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centreOf(item("confirmPopupCancel")));
        QTRY_VERIFY(!popup->property("visible").toBool());
        QCOMPARE(m_gui->deviceId(), QStringLiteral("C12345678"));

        QTest::mouseClick(m_window, Qt::LeftButton, {}, centreOf(save));
        QTRY_VERIFY(popup->property("opened").toBool());
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centreOf(item("confirmPopupOk")));
        QTRY_COMPARE(m_gui->deviceId(), QStringLiteral("KK87654321"));
        QVERIFY2(m_log->contains("Save Device Id request : KK87654321"), qPrintable(m_log->lines().join('\n')));
    }

    void entryGate()
    {
        emit m_gui->resetInitialScreen();
        QCOMPARE(currentScreen(), QStringLiteral("EntryGate"));
        render();
        QQuickItem *page = item("pageEntryGate")->property("item").value<QQuickItem *>();
        QVERIFY(page);
        const QStringList subPages = {"entryStart", "entryBusy", "entryError", "entryFinal", "entryRoadBusy"};
        auto shown = [&] {
            QStringList visible;
            for (const QString &name : subPages) {
                if (item(name)->isVisible())
                    visible << name;
            }
            return visible.join(',');
        };

        QCOMPARE(shown(), QStringLiteral("entryStart"));
        QTRY_COMPARE(entryTitle("entryStart"), QStringLiteral("Press button for entry"));
        QCOMPARE(findNamed(item("entryStart"), "messageIcon")->property("status").toInt(), 1);
        // The manager does not notify the gate kind; the page picks it up
        // on its next transition.
        m_gui->setIsEntryGate(false);
        emit m_gui->resetInitialScreen();
        QTRY_COMPARE(entryTitle("entryStart"), QStringLiteral("Please insert your card"));

        // A finish without a start is not a transaction of this page.
        emit m_gui->processFinished();
        QCOMPARE(shown(), QStringLiteral("entryStart"));

        emit m_gui->processStarted();
        QCOMPARE(shown(), QStringLiteral("entryBusy"));
        QVERIFY(item("entryBusyIndicator")->property("running").toBool());
        emit m_gui->processStarted();
        QCOMPARE(shown(), QStringLiteral("entryBusy"));

        m_gui->setErrorOccured(false);
        emit m_gui->processFinished();
        QCOMPARE(shown(), QStringLiteral("entryFinal"));
        QTRY_COMPARE(entryTitle("entryFinal"), QStringLiteral("Have a nice trip"));
        // Only the reset leaves the final page.
        emit m_gui->processStarted();
        QCOMPARE(shown(), QStringLiteral("entryFinal"));
        emit m_gui->resetInitialScreen();
        QCOMPARE(shown(), QStringLiteral("entryStart"));
        m_gui->setIsEntryGate(true);
        emit m_gui->processStarted();
        emit m_gui->processFinished();
        QTRY_COMPARE(entryTitle("entryFinal"), QStringLiteral("Please collect your card"));
        emit m_gui->resetInitialScreen();
        QTRY_COMPARE(entryTitle("entryStart"), QStringLiteral("Press button for entry"));

        // A failed process shows the manager's error text.
        m_gui->setErrorMessageScreen("Barrier fault");
        m_gui->setErrorOccured(true);
        emit m_gui->processStarted();
        emit m_gui->processFinished();
        QCOMPARE(shown(), QStringLiteral("entryError"));
        QTRY_COMPARE(entryTitle("entryError"), QStringLiteral("Barrier fault"));
        m_gui->setErrorMessageScreen("No cards left");
        QTRY_COMPARE(entryTitle("entryError"), QStringLiteral("No cards left"));
        emit m_gui->resetInitialScreen();
        QCOMPARE(shown(), QStringLiteral("entryStart"));

        // With the road reported busy a success asks the driver to wait.
        m_gui->setErrorOccured(false);
        page->setProperty("roadBusy", true);
        emit m_gui->processStarted();
        emit m_gui->processFinished();
        QCOMPARE(shown(), QStringLiteral("entryRoadBusy"));
        QTRY_COMPARE(entryTitle("entryRoadBusy"),
                 QStringLiteral("Successful transaction \n Please wait until the road is free"));
        render();

        // The page keeps its state while another screen is shown.
        m_gui->setScreen("Invalid");
        QVERIFY(!page->isVisible());
        emit m_gui->resetInitialScreen();
        QCOMPARE(currentScreen(), QStringLiteral("EntryGate"));
        QCOMPARE(shown(), QStringLiteral("entryStart"));
    }

    void numberPadAndLogin()
    {
        QSignalSpy granted(m_gui.get(), &GUIManager::settingsAccessGranted);
        QSignalSpy denied(m_gui.get(), &GUIManager::settingsAccessDenied);
        m_gui->setScreen("Login", 15000);
        render();
        QQuickItem *display = item("pinDisplay");
        QQuickItem *feedback = item("loginFeedback");
        QQuickItem *pad = item("numberPad");
        QVERIFY(display && feedback && pad);
        QCOMPARE(item("loginTitle")->property("text").toString(), QStringLiteral("Enter PIN"));
        for (const char *key : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "clear", "ok"})
            checkTouchTarget(item(QStringLiteral("numberPadKey_") + QLatin1String(key)));
        QCOMPARE(item("numberPadKey_ok")->property("text").toString(), QStringLiteral("OK"));
        QCOMPARE(item("numberPadKey_clear")->property("text").toString(), QStringLiteral("CLEAR"));

        // Nothing to send yet.
        QVERIFY(!item("numberPadKey_ok")->isEnabled());
        typePin("12");
        QCOMPARE(pad->property("text").toString(), QStringLiteral("12"));
        QCOMPARE(display->property("text").toString(), QString(2, QChar(0x25CF)));
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centreOf(item("numberPadKey_clear")));
        QCOMPARE(pad->property("text").toString(), QString());
        QCOMPARE(display->property("text").toString(), QString());
        typePin("1234567890");
        QCOMPARE(pad->property("text").toString(), QStringLiteral("12345678"));
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centreOf(item("numberPadKey_clear")));

        // A verdict nobody asked for on this page is ignored.
        emit m_gui->settingsAccessDenied();
        QCOMPARE(feedback->property("text").toString(), QString());
        denied.clear();

        typePin("1234");
        QVERIFY(item("numberPadKey_ok")->isEnabled());
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centreOf(item("numberPadKey_ok")));
        QTRY_COMPARE(denied.count(), 1);
        QCOMPARE(granted.count(), 0);
        QVERIFY(m_log->contains("WARN: User entered wrong pin"));
        QCOMPARE(feedback->property("text").toString(), QStringLiteral("Wrong PIN, please try again"));
        QCOMPARE(pad->property("text").toString(), QString());
        QCOMPARE(m_gui->screen(), QStringLiteral("Login"));
        render();
        // The next try clears the complaint.
        typePin("3");
        QCOMPARE(feedback->property("text").toString(), QString());

        typePin("917");
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centreOf(item("numberPadKey_ok")));
        QTRY_COMPARE(granted.count(), 1);
        QCOMPARE(denied.count(), 1);
        QCOMPARE(feedback->property("text").toString(), QStringLiteral("Access granted"));
        QVERIFY(!pad->isEnabled());
        render();
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("Settings"), 5000);
        QCOMPARE(currentScreen(), QStringLiteral("Settings"));

        // Coming back later starts with an empty pad and no verdict.
        m_gui->settingsLogoutRequest();
        m_gui->setScreen("Login", 15000);
        QCOMPARE(pad->property("text").toString(), QString());
        QCOMPARE(feedback->property("text").toString(), QString());
        QVERIFY(pad->isEnabled());
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
