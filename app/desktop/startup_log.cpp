#include "app/desktop/startup_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/common/app_version.h"
#include "platform/folders.h"
#include "platform/log.h"

namespace dvk {

namespace {

void make_folder_with_parents(const std::string& folder) {
    for (std::size_t i = 1; i <= folder.size(); ++i)
        if (i == folder.size() || folder[i] == '/') mkdir(folder.substr(0, i).c_str(), 0755);
}

// Points descriptor `target` at the log; the stream stays where it was on failure.
bool redirect(int target, const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = dup2(fd, target) >= 0;
    int err = errno;
    close(fd);
    errno = err;
    return ok;
}

}  // namespace

void startLogging() {
    const char* noRedirect = std::getenv("DVK_NO_REDIRECT");
    if (noRedirect && std::strcmp(noRedirect, "1") == 0) return;

    const std::string folder = applicationSupportFolder();
    make_folder_with_parents(folder);
    const std::string logPath = folder + "/DVK.log";
    const std::string oldPath = folder + "/DVK_old.log";

    struct stat st;
    if (stat(logPath.c_str(), &st) != 0) {
        // No log yet (the first start) is no error.
        if (errno != ENOENT)
            std::fprintf(stderr, "stat() for %s failed: %s\n", logPath.c_str(), std::strerror(errno));
    } else if (st.st_size > kLogRotationBytes) {
        if (std::rename(logPath.c_str(), oldPath.c_str()) != 0)
            std::fprintf(stderr, "rename() %s to %s failed: %s\n", logPath.c_str(), oldPath.c_str(),
                         std::strerror(errno));
    }

    std::fflush(stdout);
    std::fflush(stderr);
    if (!redirect(STDOUT_FILENO, logPath)) std::fprintf(stderr, "stdout redirect failed: %s\n", std::strerror(errno));
    // The standard error of the start stays at hand for what a command-line
    // run must say there too (the end of a batch).
    const int terminal = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (!redirect(STDERR_FILENO, logPath)) {
        std::fprintf(stderr, "stderr redirect failed: %s\n", std::strerror(errno));
        if (terminal >= 0) close(terminal);
    } else if (terminal >= 0) {
        set_terminal_descriptor(terminal);
    }
    std::fflush(stdout);
    std::fflush(stderr);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);

    log_line("DVK %s (%s) started", dvkShortVersion(), dvkBuildVersion());
}

}  // namespace dvk
