#pragma once

#include <QStringList>
#include <QVariantMap>

// What the command line asks for: either configuration overrides to start
// with, or an exit status when the process should stop right away (help,
// version, or a usage error).
struct CommandLine
{
    QVariantMap overrides;
    int exitCode = -1;

    bool shouldExit() const { return exitCode >= 0; }

    // Parses the program's arguments (arguments.first() is the program).
    // Help and version go to standard output; errors and the override log
    // lines to the message handler in force.
    static CommandLine parse(const QStringList &arguments);
};
