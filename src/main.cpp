#include "CommandLine.h"
#include "Config.h"
#include "FirstFrameMarker.h"
#include "GUIManager.h"
#include "Resources.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>

namespace {

// Help and version need no display: a technician asks for them over SSH.
bool asksForHelpOrVersion(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-h" || argument == "--help" || argument == "-V" || argument == "--version")
            return true;
    }
    return false;
}

// The terminal's own keyboard where its plug-in is installed; else Qt's
// virtual keyboard, which Debian packages.
QByteArray onScreenKeyboard()
{
    const QStringList paths = QCoreApplication::libraryPaths();
    for (const QString &path : paths) {
        if (!QDir(path + QStringLiteral("/platforminputcontexts"))
                 .entryList({ QStringLiteral("*freevirtualkeyboard*") }, QDir::Files)
                 .isEmpty())
            return QByteArrayLiteral("freevirtualkeyboard");
    }
    return QByteArrayLiteral("qtvirtualkeyboard");
}

} // namespace

int main(int argc, char *argv[])
{
    Resources::init();
    QCoreApplication::setApplicationName(QStringLiteral("LTXGTerminalUI"));
    QCoreApplication::setApplicationVersion(QStringLiteral("050fccb"));

    if (asksForHelpOrVersion(argc, argv)) {
        QCoreApplication app(argc, argv);
        const CommandLine commandLine = CommandLine::parse(QCoreApplication::arguments());
        if (commandLine.shouldExit())
            return commandLine.exitCode;
    }

    // Selects the on-screen keyboard, unless the environment names one; must
    // be set before the application exists.
    const QByteArray inputMethod = qEnvironmentVariableIsSet("QT_IM_MODULE") ? qgetenv("QT_IM_MODULE")
                                                                             : onScreenKeyboard();
    qputenv("QT_IM_MODULE", inputMethod);
    // Qt only honours this attribute when it is set before the application
    // object is created.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);

    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationDisplayName(QStringLiteral("LTXGTerminal UI"));
    QCoreApplication::setOrganizationName(QStringLiteral("kivo"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("kivo.gr"));

    const CommandLine commandLine = CommandLine::parse(QCoreApplication::arguments());
    if (commandLine.shouldExit())
        return commandLine.exitCode;

    const QString filename = commandLine.overrides.value(QStringLiteral("config"), QStringLiteral("gui.conf")).toString();
    Config config(filename, GUIManager::Defaults);
    config.addOverrides(commandLine.overrides);

    // A missing font only means Qt's default font is used.
    QFontDatabase::addApplicationFont(QStringLiteral(":/qml/fonts/DejaVuSans.ttf"));
    QGuiApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));

    GUIManager manager(config);
    qInfo().noquote().nospace() << "On-screen keyboard : " << inputMethod;
    manager.load();
    FirstFrameMarker::install();

    return app.exec();
}
