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
    // at, and work runs again on a new, empty file. False if the settings
    // did not reach the disk (a folder in its place, a read-only or full disk).
    static bool write(const QString &fileName, QSettings::Format format, const Work &work);
    // Writes a new file with work and puts it in the place of the old one in
    // one step: a reader, or a start after a crash, finds the old file or
    // the new one, never a torn one. The old file is not read, so a damaged
    // one does not stand in the way. False if the new file could not be
    // written or put in place; the old one then stays.
    static bool replace(const QString &fileName, QSettings::Format format, const Work &work);
    // Moves a file that cannot be decoded to damagedName(), for a
    // technician to look at; false if it could not be moved.
    static bool setAside(const QString &fileName);
    static QString damagedName(const QString &fileName);
};
