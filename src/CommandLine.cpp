#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDebug>

#include <cstdio>

CommandLine CommandLine::parse(const QStringList &arguments)
{
    // Order matters: help wins over everything, version over the overrides.
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") },
                                  QStringLiteral("Print help and exit"));
    const QCommandLineOption version({ QStringLiteral("V"), QStringLiteral("version") },
                                     QStringLiteral("Print version and exit"));
    const QCommandLineOption verbose({ QStringLiteral("v"), QStringLiteral("verbose") },
                                     QStringLiteral("Set log level: 0=err, 1=warn, 2=info(dfl), 3=dbg"),
                                     QStringLiteral("level"));
    const QCommandLineOption toStderr({ QStringLiteral("e"), QStringLiteral("stderr") },
                                      QStringLiteral("Print messages to stderr, not just syslog"));
    const QCommandLineOption color({ QStringLiteral("c"), QStringLiteral("color") },
                                   QStringLiteral("Print messages in color."));
    const QCommandLineOption config({ QStringLiteral("f"), QStringLiteral("config") },
                                    QStringLiteral("Set configuration file"), QStringLiteral("filename"));
    const QCommandLineOption host({ QStringLiteral("H"), QStringLiteral("host") },
                                  QStringLiteral("Set mqtt broker url"), QStringLiteral("hostname"));
    const QCommandLineOption port({ QStringLiteral("P"), QStringLiteral("port") },
                                  QStringLiteral("Set mqtt broker port"), QStringLiteral("port"));
    const QCommandLineOption username({ QStringLiteral("u"), QStringLiteral("username") },
                                      QStringLiteral("Set mqtt username"), QStringLiteral("username"));
    const QCommandLineOption password({ QStringLiteral("p"), QStringLiteral("password") },
                                      QStringLiteral("Set mqtt password"), QStringLiteral("password"));

    QCommandLineParser parser;
    parser.addOptions({ help, version, verbose, toStderr, color, config, host, port, username, password });

    CommandLine result;
    if (!parser.parse(arguments)) {
        qCritical().noquote().nospace() << "ERROR: " << parser.errorText();
        result.exitCode = 1;
        return result;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        std::fflush(stdout);
        result.exitCode = 0;
        return result;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        std::fflush(stdout);
        result.exitCode = 0;
        return result;
    }

    if (parser.isSet(verbose)) {
        const int level = parser.value(verbose).toInt();
        qInfo().noquote().nospace() << "Setting Log level : " << level;
        result.overrides.insert(QStringLiteral("log/level"), level);
    }
    if (parser.isSet(toStderr)) {
        qInfo().noquote().nospace() << "Log to stderr overridden from user to true";
        result.overrides.insert(QStringLiteral("log/stderr"), true);
    }
    if (parser.isSet(color)) {
        qInfo().noquote().nospace() << "Log with color overridden from user to true";
        result.overrides.insert(QStringLiteral("log/color"), true);
    }
    if (parser.isSet(config)) {
        qInfo().noquote().nospace() << "Using configuration file : " << parser.value(config);
        result.overrides.insert(QStringLiteral("config"), parser.value(config));
    }
    if (parser.isSet(host)) {
        qInfo().noquote().nospace() << "Setting MQTT Host : " << parser.value(host);
        result.overrides.insert(QStringLiteral("mqtt/host"), parser.value(host));
    }
    if (parser.isSet(port)) {
        // A port out of range would wrap to another one.
        bool ok = false;
        const int value = parser.value(port).toInt(&ok);
        if (!ok || value < 1 || value > 65535) {
            qCritical().noquote().nospace() << "ERROR: Invalid port : " << parser.value(port);
            return CommandLine{ {}, 1 };
        }
        qInfo().noquote().nospace() << "Setting MQTT Port : " << value;
        result.overrides.insert(QStringLiteral("mqtt/port"), value);
    }
    if (parser.isSet(username)) {
        qInfo().noquote().nospace() << "Setting MQTT User : " << parser.value(username);
        result.overrides.insert(QStringLiteral("mqtt/username"), parser.value(username));
    }
    if (parser.isSet(password)) {
        // Never logged.
        result.overrides.insert(QStringLiteral("mqtt/password"), parser.value(password));
    }
    return result;
}
