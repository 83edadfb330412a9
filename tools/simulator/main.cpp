#include "SimConsole.h"
#include "Simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ltxg-simulator"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays the terminal's device services on an MQTT broker.\n\n")
                                     + Simulator::helpText());
    parser.addHelpOption();
    const QCommandLineOption hostOption(QStringLiteral("host"), QStringLiteral("Broker host (default localhost)."),
                                        QStringLiteral("host"), QStringLiteral("localhost"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Broker port (default 1883)."),
                                        QStringLiteral("port"), QStringLiteral("1883"));
    const QCommandLineOption noConsoleOption(QStringLiteral("no-console"), QStringLiteral("Do not read commands from standard input."));
    const QCommandLineOption takeAfterOption(QStringLiteral("take-after"),
                                             QStringLiteral("The person takes a presented card after <ms> (default 2000; 0: never)."),
                                             QStringLiteral("ms"), QStringLiteral("2000"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"), QStringLiteral("Print every message sent and every request received."));
    parser.addOptions({hostOption, portOption, noConsoleOption, takeAfterOption, verboseOption});
    parser.process(app);

    QTextStream err(stderr);
    bool ok;
    const int port = parser.value(portOption).toInt(&ok);
    if (!ok || port <= 0 || port > 65535) {
        err << "ltxg-simulator: invalid port: " << parser.value(portOption) << Qt::endl;
        return 2;
    }
    const int takeAfter = parser.value(takeAfterOption).toInt(&ok);
    if (!ok || takeAfter < 0) {
        err << "ltxg-simulator: invalid --take-after: " << parser.value(takeAfterOption) << Qt::endl;
        return 2;
    }

    Simulator simulator;
    simulator.setTakeAfter(takeAfter);
    simulator.setVerbose(parser.isSet(verboseOption));
    QObject::connect(&simulator, &Simulator::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    // Ctrl-C and kill end the simulator like "quit": the services say goodbye.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &simulator, [&simulator, notifier] {
            char byte;
            [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
            notifier->setEnabled(false);
            simulator.runCommand(QStringLiteral("quit"));
        });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }

    if (!parser.isSet(noConsoleOption)) {
        auto *console = new SimConsole(&app);
        QObject::connect(console, &SimConsole::commandEntered, &simulator, &Simulator::runCommand);
        QObject::connect(console, &SimConsole::closed, &simulator, [] {
            QTextStream(stdout) << "[sim] end of standard input; commands still come on \"sim/control\"" << Qt::endl;
        });
    }

    if (!simulator.start(parser.value(hostOption), port)) {
        err << "ltxg-simulator: cannot start the MQTT connection" << Qt::endl;
        return 1;
    }
    return app.exec();
}
