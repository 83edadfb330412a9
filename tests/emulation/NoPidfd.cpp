// Preloaded into the tests of a cross build, which run under qemu-user.
//
// Qt's QProcess starts children with clone(CLONE_PIDFD) once a probe,
// waitid(P_PIDFD), says the kernel has pidfds. qemu-user 7.2 lets the probe
// through but refuses the clone with EINVAL; QProcess then reports a child
// of pid -1, and stopping that child became kill(-1, SIGKILL), which ended
// every process of the machine. Answering the probe with ENOSYS makes Qt
// fall back to plain fork(), which the emulator handles.
#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <sys/syscall.h>

namespace {
constexpr long PidfdIdType = 3; // P_PIDFD
constexpr long ClonePidfd = 0x1000; // CLONE_PIDFD
}

extern "C" long syscall(long number, ...)
{
    va_list list;
    va_start(list, number);
    long a[6];
    for (long &argument : a)
        argument = va_arg(list, long);
    va_end(list);
    if ((number == SYS_waitid && a[0] == PidfdIdType) || (number == SYS_clone && (a[0] & ClonePidfd))) {
        errno = ENOSYS;
        return -1;
    }
    using Syscall = long (*)(long, ...);
    static const auto next = reinterpret_cast<Syscall>(dlsym(RTLD_NEXT, "syscall"));
    return next(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}
