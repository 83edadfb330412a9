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
