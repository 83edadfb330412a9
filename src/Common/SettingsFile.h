#pragma once

#include <QSettings>

#include <functional>

// Reads and writes an INI settings file without letting a damaged one take
// the program down. Qt decodes typed values ("@Variant(...)",
// "@DateTime(...)") with the element counts the file gives; a damaged count
// asks for more memory than there is, and QSettings then throws
// std::bad_alloc, on reading and equally on writing, since a write merges
// with the file on disk first. Nothing else in the program deals in
// exceptions: they stop here.
class SettingsFile
{
public:
    using Work = std::function<void(QSettings &)>;

    // Runs work on the file; false if the file could not be decoded.
    static bool read(const QString &fileName, QSettings::Format format, const Work &work);
    // Runs work on the file. A file that cannot be decoded is moved to
    // "<fileName>.damaged" (replacing an older one) for a technician to look
    // at, and work runs again on a new, empty file.
    static void write(const QString &fileName, QSettings::Format format, const Work &work);
    static QString damagedName(const QString &fileName);
};
