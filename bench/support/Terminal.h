#pragma once

#include <QString>

class Config;

// The real program's surroundings for a benchmark: its files in a scratch
// folder, as on a terminal.
namespace bench {

// Offscreen, with the software scene graph, unless the environment names a
// platform and a backend; call before the application exists.
void defaultToOffscreen();
// The program's name, a benchmark's version and the program's resources;
// call once the application exists.
void actAsProgram();

// Writes a serial number into folder and points config at it and at the
// broker, with the program's logging going nowhere (a line per message on a
// terminal would measure the terminal). False if the file cannot be written.
bool prepareTerminal(const QString &folder, Config &config, const QString &brokerHost, quint16 brokerPort);
// An event log of count ignition events, the last a second ago, as the
// program writes it.
void writeEventLog(const QString &file, int count);

} // namespace bench
