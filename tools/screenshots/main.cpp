// Renders every screen and settings page of the terminal, in every language
// it speaks, into PNG files: the way to look at the whole UI without the
// terminal.
//
//   ltxg-screenshots [--simulator PATH] OUTDIR
//
// Runs the program's own GUI manager and QML on the X display named by
// DISPLAY (Xvfb, 1024x600) with OpenGL, against a private mosquitto and,
// when given, the terminal simulator, so the pages show live data. Exits
// non-zero when a page does not load or the QML engine warns.
#include "Config.h"
#include "GUIManager.h"
#include "Resources.h"
#include "logger.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QSet>
#include <QXmlStreamReader>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

QStringList qmlProblems;
QtMessageHandler previousHandler = nullptr;
QString lastShot; // where the UI was when a problem came up

// Every warning from QML code or the QML engine is a defect of the UI.
void recordProblems(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const bool fromQml = message.contains(QLatin1String("qrc:/")) || message.contains(QLatin1String("QML"))
        || message.contains(QLatin1String("qml"), Qt::CaseInsensitive);
    // Only the first engine of a process may choose the style.
    const bool styleNotice = message.contains(QLatin1String("QQuickStyle::setStyle()"));
    if (type != QtDebugMsg && type != QtInfoMsg && fromQml && !styleNotice)
        qmlProblems << QStringLiteral("(after %1) %2").arg(lastShot.isEmpty() ? QStringLiteral("start-up") : lastShot, message);
    if (previousHandler)
        previousHandler(type, context, message);
}

void wait(int msec)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < msec) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // No event loop runs here to take pages popped off a stack down.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

bool waitFor(const std::function<bool()> &done, int msec)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > msec)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

QObject *findNamed(QObject *root, const QString &name)
{
    if (!root)
        return nullptr;
    if (root->objectName() == name)
        return root;
    const QObjectList children = root->children();
    for (QObject *child : children) {
        if (QObject *found = findNamed(child, name))
            return found;
    }
    if (auto *item = qobject_cast<QQuickItem *>(root)) {
        const QList<QQuickItem *> childItems = item->childItems();
        for (QQuickItem *child : childItems) {
            if (child->parent() == root)
                continue;
            if (QObject *found = findNamed(child, name))
                return found;
        }
    }
    return nullptr;
}

// What a picture may not show: text cut off or running out of its box,
// controls too small for a finger, and in Greek an English text that has a
// Greek translation.
int textsChecked = 0;
int controlsChecked = 0;
QSet<QString> translatedSources; // English texts whose Greek differs
bool inGreek = false;

// The sources of the translation file that have a Greek text of their own;
// an unfinished entry is reported.
QSet<QString> readTranslations(const QString &path, QStringList &unfinished)
{
    QSet<QString> sources;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        unfinished << QStringLiteral("cannot read %1").arg(path);
        return sources;
    }
    QXmlStreamReader xml(&file);
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const bool done = xml.attributes().value(QLatin1String("type")).isEmpty();
            const QString text = xml.readElementText();
            if (!done || text.isEmpty())
                unfinished << source;
            else if (text != source)
                sources.insert(source);
        }
    }
    return sources;
}

void inspect(QQuickItem *item, const QString &where, QStringList &findings)
{
    if (!item->isVisible() || item->opacity() == 0.0 || item->width() <= 0 || item->height() <= 0)
        return;
    const QMetaObject *meta = item->metaObject();
    const QString text = item->property("text").toString();
    if (meta->indexOfProperty("truncated") >= 0 && meta->indexOfProperty("elide") >= 0 && !text.isEmpty()) {
        const bool wraps = item->property("wrapMode").toInt() != 0;
        const qreal contentWidth = item->property("contentWidth").toReal();
        const qreal contentHeight = item->property("contentHeight").toReal();
        const qreal slack = 1.0;
        ++textsChecked;
        if (inGreek && translatedSources.contains(text))
            findings << QStringLiteral("%1: English in the Greek interface: \"%2\"").arg(where, text);
        if (item->property("truncated").toBool())
            findings << QStringLiteral("%1: text cut off: \"%2\"").arg(where, text);
        else if (contentWidth > item->width() + slack || (wraps && contentHeight > item->height() + slack))
            findings << QStringLiteral("%1: text runs out of its box (%2x%3 in %4x%5): \"%6\"")
                            .arg(where).arg(contentWidth).arg(contentHeight).arg(item->width()).arg(item->height()).arg(text);
    }
    // Single-line fields (combo boxes show their choice in one) scroll
    // instead of wrapping: what does not fit is cut off.
    if (item->inherits("QQuickTextInput") && !text.isEmpty()) {
        ++textsChecked;
        const qreal room = item->width() - item->property("leftPadding").toReal() - item->property("rightPadding").toReal();
        if (item->property("contentWidth").toReal() > room + 1.0)
            findings << QStringLiteral("%1: text runs out of its field (%2 in %3): \"%4\"")
                            .arg(where)
                            .arg(item->property("contentWidth").toReal())
                            .arg(room)
                            .arg(text);
    }
    const bool touchable = (item->inherits("QQuickAbstractButton") || item->inherits("QQuickMouseArea")) && item->isEnabled();
    controlsChecked += touchable ? 1 : 0;
    if (touchable && (item->width() < 48 || item->height() < 48))
        findings << QStringLiteral("%1: %2 \"%3\" is %4x%5, under 48x48")
                        .arg(where, QString::fromLatin1(meta->className()), item->objectName().isEmpty() ? text : item->objectName())
                        .arg(item->width())
                        .arg(item->height());
    const QList<QQuickItem *> children = item->childItems();
    for (QQuickItem *child : children)
        inspect(child, where, findings);
}

class Shooter
{
public:
    Shooter(GUIManager &gui, QQuickWindow &window, const QString &dir) : m_gui(gui), m_window(window), m_dir(dir) {}

    int failures() const { return m_failures; }
    int shots() const { return m_shots; }

    QObject *find(const QString &name) const { return findNamed(&m_window, name); }
    QQuickItem *page(const QString &screen) const
    {
        QObject *loader = find(QStringLiteral("page") + screen);
        return loader ? loader->property("item").value<QQuickItem *>() : nullptr;
    }

    void fail(const QString &what)
    {
        std::fprintf(stderr, "ltxg-screenshots: %s\n", qPrintable(what));
        ++m_failures;
    }

    void shoot(const QString &name)
    {
        // Images decode and animations settle before the picture is taken.
        wait(400);
        QStringList findings;
        inspect(m_window.contentItem(), m_dir.section(QLatin1Char('/'), -1) + QLatin1Char('/') + name, findings);
        // Pop-ups live on the overlay, beside the content.
        if (QQuickItem *overlay = m_window.contentItem()->parentItem()) {
            const QList<QQuickItem *> layers = overlay->childItems();
            for (QQuickItem *layer : layers) {
                if (layer != m_window.contentItem())
                    inspect(layer, m_dir.section(QLatin1Char('/'), -1) + QLatin1Char('/') + name, findings);
            }
        }
        for (const QString &finding : qAsConst(findings))
            fail(finding);
        lastShot = m_dir.section(QLatin1Char('/'), -1) + QLatin1Char('/') + name;
        const QString file = m_dir + QStringLiteral("/%1-%2.png").arg(++m_shots, 2, 10, QLatin1Char('0')).arg(name);
        if (!m_window.grabWindow().save(file, "PNG"))
            fail(QStringLiteral("could not save %1").arg(file));
    }

    bool show(const QString &screen)
    {
        // The variant with a time-out always switches, even when the window
        // shows another page than the manager's screen.
        m_gui.setScreen(screen, 3600 * 1000);
        if (!waitFor([&] { return m_window.property("currentScreen").toString() == screen; }, 5000)) {
            fail(QStringLiteral("the window did not switch to %1").arg(screen));
            return false;
        }
        if (!page(screen)) {
            fail(QStringLiteral("the page of %1 did not load").arg(screen));
            return false;
        }
        return true;
    }

    // Presses a button the way a finger's click ends: its clicked signal.
    bool press(const QString &objectName)
    {
        QObject *button = find(objectName);
        if (!button || !QMetaObject::invokeMethod(button, "clicked")) {
            fail(QStringLiteral("no button %1").arg(objectName));
            return false;
        }
        return true;
    }

    // The on-screen keyboard open on a field: the field stays in sight above
    // it, and the page is back where it was once the keyboard closes.
    void typeInto(const QString &fieldName, const QString &shot)
    {
        auto *field = qobject_cast<QQuickItem *>(find(fieldName));
        if (!field) {
            fail(QStringLiteral("no field %1 for %2").arg(fieldName, shot));
            return;
        }
        // A terminal's only window has the focus; here it is asked for.
        m_window.requestActivate();
        waitFor([&] { return m_window.isActive(); }, 2000);
        field->forceActiveFocus();
        // Made when a field first takes the focus.
        QObject *keyboard = nullptr;
        if (!waitFor([&] { return (keyboard = find(QStringLiteral("keyboard"))) != nullptr; }, 5000)) {
            fail(QStringLiteral("no keyboard for %1").arg(shot));
            return;
        }
        QGuiApplication::inputMethod()->show();
        if (!waitFor([&] { return keyboard->property("active").toBool(); }, 5000)) {
            fail(QStringLiteral("the keyboard did not open for %1").arg(fieldName));
            return;
        }
        wait(1500); // the keyboard's own animation, and its layout for the field
        const qreal keyboardTop = m_window.height() - keyboard->property("height").toReal();
        const qreal fieldBottom = field->mapToScene(QPointF(0, field->height())).y();
        if (fieldBottom > keyboardTop)
            fail(QStringLiteral("%1: the keyboard covers %2").arg(shot, fieldName));
        shoot(shot);
        QGuiApplication::inputMethod()->hide();
        field->setFocus(false);
        if (!waitFor([&] { return !keyboard->property("active").toBool(); }, 5000)
            || !waitFor([&] { return m_window.property("keyboardShift").toReal() == 0; }, 5000))
            fail(QStringLiteral("%1: the page did not come back when the keyboard closed").arg(shot));
    }

    // A page that no screen name shows, put over the window for its picture.
    void overlay(const QString &name, const QString &url)
    {
        QQmlEngine *engine = qmlEngine(&m_window);
        if (!engine) {
            fail(QStringLiteral("no QML engine for %1").arg(name));
            return;
        }
        // On a white page of its own, over the window's pages.
        QQmlComponent component(engine);
        component.setData(QStringLiteral("import QtQuick 2.15\n"
                                         "Rectangle { color: \"white\"; z: 500\n"
                                         "    Loader { objectName: \"overlayLoader\"; anchors.fill: parent; source: \"%1\" } }")
                              .arg(url)
                              .toUtf8(),
                          QUrl(QStringLiteral("qrc:/screenshots/Overlay.qml")));
        auto *backdrop = qobject_cast<QQuickItem *>(component.create(engine->rootContext()));
        QObject *loader = backdrop ? findNamed(backdrop, QStringLiteral("overlayLoader")) : nullptr;
        if (!loader || loader->property("status").toInt() != 1) {
            fail(QStringLiteral("%1 did not load: %2").arg(name, component.errorString()));
            delete backdrop;
            return;
        }
        backdrop->setParentItem(m_window.contentItem());
        backdrop->setSize(m_window.contentItem()->size());
        shoot(name);
        delete backdrop;
    }

private:
    GUIManager &m_gui;
    QQuickWindow &m_window;
    QString m_dir;
    int m_failures = 0;
    int m_shots = 0;
};

void shootLanguage(Shooter &s, GUIManager &gui, const QString &pin)
{
    const QStringList plain = {"Busy", "InitPage", "ExitGate", "OutOfOrder", "OutOfService", "Invalid",
                               "Login", "ScreenSaver"};
    for (const QString &screen : plain) {
        if (s.show(screen))
            s.shoot(screen);
    }

    if (s.show(QStringLiteral("EntryGate"))) {
        QQuickItem *entry = s.page(QStringLiteral("EntryGate"));
        for (const char *state : {"start", "busy", "error", "final", "roadBusy"}) {
            entry->setProperty("state", QString::fromLatin1(state));
            s.shoot(QStringLiteral("EntryGate-") + QLatin1String(state));
        }
        entry->setProperty("state", QStringLiteral("start"));
    }

    s.overlay(QStringLiteral("Media"), QStringLiteral("qrc:/qml/screens/Media.qml"));
    s.overlay(QStringLiteral("Unregistered"), QStringLiteral("qrc:/qml/screens/Unregistered.qml"));

    // The reason the system gives when the serial number cannot be saved.
    emit gui.errorOccured(QStringLiteral("Permission denied"));
    s.shoot(QStringLiteral("ErrorPopup"));
    if (QObject *popup = s.find(QStringLiteral("errorPopup")))
        QMetaObject::invokeMethod(popup, "close");

    // The maintenance area, behind the PIN.
    gui.settingsLoginRequest(pin);
    gui.setMaintenanceScreen();
    if (!waitFor([&] { return gui.screen() == QLatin1String("Settings"); }, 5000)) {
        s.fail(QStringLiteral("the PIN did not open the settings"));
        return;
    }
    QQuickItem *settings = s.page(QStringLiteral("Settings"));
    if (!settings) {
        s.fail(QStringLiteral("the settings page did not load"));
        return;
    }
    s.shoot(QStringLiteral("Settings"));

    struct Section {
        const char *title;
        QStringList subPages; // buttons that open a page further in
        QStringList typing; // buttons to press, then the field to type into
    };
    const QList<Section> sections = {
        {"Validator", {"validatorConfigButton"}, {}},
        {"Diagnostics", {}, {}},
        {"Region", {}, {"ntpServerField"}},
        {"Audio", {}, {}},
        {"Display", {}, {}},
        {"Network", {"ethernetButton", "ethernetConfigButton"}, {"methodManual", "dns1Field"}},
        {"Update", {}, {}},
        {"Event Log", {}, {}},
    };
    for (const Section &section : sections) {
        const QString title = QString::fromLatin1(section.title);
        const QString name = QString(title).remove(QLatin1Char(' '));
        QMetaObject::invokeMethod(settings, "openSection", Q_ARG(QVariant, title));
        s.shoot(QStringLiteral("Settings-") + name);
        for (const QString &button : section.subPages) {
            if (s.press(button))
                s.shoot(QStringLiteral("Settings-%1-%2").arg(name, QString(button).remove(QLatin1String("Button"))));
        }
        if (!section.typing.isEmpty()) {
            for (const QString &button : section.typing.mid(0, section.typing.size() - 1))
                s.press(button);
            s.typeInto(section.typing.last(), QStringLiteral("Settings-%1-keyboard").arg(name));
        }
        QMetaObject::invokeMethod(settings, "reset");
    }

    // The header menu and its pop-ups.
    if (s.press(QStringLiteral("settingsMenuButton")))
        s.shoot(QStringLiteral("Settings-menu"));
    if (s.press(QStringLiteral("menuScanConfig"))) {
        s.shoot(QStringLiteral("Settings-scanConfig"));
        emit gui.barcodeConfigurationApplied({QStringLiteral("gui/showErrorDesc = true"),
                                              QStringLiteral("gui/displayOffMin = 10")});
        s.shoot(QStringLiteral("Settings-scanConfigApplied"));
    }
    QMetaObject::invokeMethod(settings, "reset");
    if (s.press(QStringLiteral("settingsMenuButton")) && s.press(QStringLiteral("menuShutdown")))
        s.shoot(QStringLiteral("Settings-shutdownConfirm"));
    QMetaObject::invokeMethod(settings, "reset");
    s.shoot(QStringLiteral("Settings-again"));
    gui.settingsLogoutRequest();
}

} // namespace

int main(int argc, char *argv[])
{
    // The software scene graph draws Material's raised controls as nothing,
    // and the offscreen platform's screen is too small: real X, real OpenGL.
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
    qunsetenv("QT_QUICK_BACKEND");
    // The keyboard a terminal installed from the package uses.
    qputenv("QT_IM_MODULE", QByteArrayLiteral("qtvirtualkeyboard"));
    Resources::init();
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("LTXGTerminalUI"));
    QCoreApplication::setApplicationVersion(QStringLiteral("050fccb"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders every screen of the terminal into PNG files."));
    parser.addHelpOption();
    const QCommandLineOption simulatorOption(QStringLiteral("simulator"),
                                             QStringLiteral("The terminal simulator to run beside the UI."),
                                             QStringLiteral("path"));
    parser.addOption(simulatorOption);
    const QCommandLineOption translationsOption(QStringLiteral("translations"),
                                                QStringLiteral("The Greek translation file (.ts) to check the Greek pictures against."),
                                                QStringLiteral("file"));
    parser.addOption(translationsOption);
    parser.addPositionalArgument(QStringLiteral("outdir"), QStringLiteral("Folder for the pictures."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QString outDir = QDir(parser.positionalArguments().constFirst()).absolutePath();
    int unfinishedCount = 0;
    if (parser.isSet(translationsOption)) {
        QStringList unfinished;
        translatedSources = readTranslations(parser.value(translationsOption), unfinished);
        for (const QString &source : qAsConst(unfinished))
            std::fprintf(stderr, "ltxg-screenshots: unfinished translation: \"%s\"\n", qPrintable(source));
        unfinishedCount = unfinished.size();
    }

    QTemporaryDir work;
    QFile serial(work.filePath(QStringLiteral("serialnumber")));
    if (!serial.open(QIODevice::WriteOnly) || serial.write("C12345678\n") < 0)
        return 1;
    serial.close();

    const quint16 port = freePort();
    QFile brokerConf(work.filePath(QStringLiteral("mosquitto.conf")));
    if (!brokerConf.open(QIODevice::WriteOnly))
        return 1;
    brokerConf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(port).toUtf8());
    brokerConf.close();
    QProcess broker;
    broker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), brokerConf.fileName()});
    if (!broker.waitForStarted(5000)) {
        std::fprintf(stderr, "ltxg-screenshots: mosquitto did not start\n");
        return 1;
    }
    wait(300);

    QProcess simulator;
    if (parser.isSet(simulatorOption)) {
        simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        simulator.setStandardOutputFile(work.filePath(QStringLiteral("simulator.log")));
        simulator.start(parser.value(simulatorOption),
                        {QStringLiteral("--port"), QString::number(port), QStringLiteral("--no-console")});
        if (!simulator.waitForStarted(5000)) {
            std::fprintf(stderr, "ltxg-screenshots: the simulator did not start\n");
            return 1;
        }
    }

    QFontDatabase::addApplicationFont(QStringLiteral(":/qml/fonts/DejaVuSans.ttf"));
    QGuiApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));

    Config config(work.filePath(QStringLiteral("gui.conf")), GUIManager::Defaults);
    config.set(QStringLiteral("log/syslog"), false);
    config.set(QStringLiteral("mqtt/host"), QStringLiteral("127.0.0.1"));
    config.set(QStringLiteral("mqtt/port"), int(port));
    config.set(QStringLiteral("gui/deviceId"), serial.fileName());
    config.set(QStringLiteral("gui/locale"), QStringLiteral("en_US"));
    manager::Logger::instance();
    previousHandler = qInstallMessageHandler(recordProblems);

    int failures = 0;
    int shots = 0;
    {
        GUIManager gui(config, work.filePath(QStringLiteral("events.ini")));
        gui.load();
        auto *window = qobject_cast<QQuickWindow *>(gui.parent());
        if (!window || !waitFor([window] { return window->isExposed(); }, 10000)) {
            std::fprintf(stderr, "ltxg-screenshots: the window did not come up\n");
            return 1;
        }
        // Let the services report in before the first picture.
        waitFor([&] { return gui.screen() != QLatin1String("Busy"); }, parser.isSet(simulatorOption) ? 10000 : 1000);

        for (const QString &language : {QStringLiteral("en_US"), QStringLiteral("el_GR")}) {
            const QString dir = outDir + QLatin1Char('/') + language;
            QDir().mkpath(dir);
            gui.setLanguage(language);
            inGreek = language == QLatin1String("el_GR");
            if (gui.language() != language) {
                std::fprintf(stderr, "ltxg-screenshots: could not switch to %s\n", qPrintable(language));
                ++failures;
                continue;
            }
            Shooter shooter(gui, *window, dir);
            shootLanguage(shooter, gui, config.get(QStringLiteral("gui/settingsPin")).toString());
            failures += shooter.failures();
            shots += shooter.shots();
        }
    }

    simulator.terminate();
    simulator.waitForFinished(3000);
    broker.terminate();
    broker.waitForFinished(3000);

    for (const QString &problem : qAsConst(qmlProblems))
        std::fprintf(stderr, "ltxg-screenshots: QML problem: %s\n", qPrintable(problem));
    failures += unfinishedCount;
    std::printf("ltxg-screenshots: %d pictures in %s (%d texts and %d touch controls checked), %d failures, %d QML problems\n",
                shots, qPrintable(outDir), textsChecked, controlsChecked, failures, int(qmlProblems.size()));
    return failures == 0 && qmlProblems.isEmpty() ? 0 : 1;
}
