#include "platform/platform_checks.h"

#include <sys/resource.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace dvk {

namespace {

// Whether a process runs natively. This system translates no program for
// another processor (it has no "sysctl.proc_native" to ask either): every
// process runs natively, and the answer needs no query that could fail.
int read_proc_native(int pid, int* value) {
    (void)pid;
    *value = 1;
    return 0;
}

}  // namespace

int sysctlbyname_with_pid(int pid) {
    int value = 0;
    if (read_proc_native(pid, &value) == 0) return value;
    int err = errno;
    if (pid == 0)
        std::fprintf(stderr, "sysctlbyname_with_pid(0): sysctlbyname  failed:%s\n", std::strerror(err));
    else
        std::fprintf(stderr, "sysctlbyname_with_pid: sysctlnametomib  failed:%s\n", std::strerror(err));
    if (err == ENOENT) return 1;
    std::fprintf(stderr, "is_pid_native: sysctlbyname_with_pid  failed:%s\n", std::strerror(err));
    return -1;
}

void enable_core_dumps() {
    struct rlimit limit;
    limit.rlim_cur = RLIM_INFINITY;
    limit.rlim_max = RLIM_INFINITY;
    if (setrlimit(RLIMIT_CORE, &limit) != 0)
        std::fprintf(stderr, "error in setrlimit for RLIMIT_CORE: %d (%s)\n", errno, std::strerror(errno));
}

}  // namespace dvk
