// Stands in for the C library's system log: every record is appended to the
// file named by LTXG_SYSLOG_FILE as its priority, a blank and its text.

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

void record(int priority, const char *format, va_list args)
{
    const char *path = std::getenv("LTXG_SYSLOG_FILE");
    FILE *file = path ? std::fopen(path, "a") : nullptr;
    if (!file)
        return;
    std::fprintf(file, "%d ", priority);
    std::vfprintf(file, format, args);
    std::fputc('\n', file);
    std::fclose(file);
}

} // namespace

extern "C" {

void vsyslog(int priority, const char *format, va_list args)
{
    record(priority, format, args);
}

void syslog(int priority, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    record(priority, format, args);
    va_end(args);
}

// What fortified builds call instead.
void __vsyslog_chk(int priority, int, const char *format, va_list args)
{
    record(priority, format, args);
}

void __syslog_chk(int priority, int, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    record(priority, format, args);
    va_end(args);
}

} // extern "C"
