#include "app/controller/open_events.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>

#include "app/desktop/command_line.h"
#include "platform/log.h"

namespace dvk {

void OpenEventGatherer::add(const std::vector<std::string>& paths, Handler handler) {
    for (const std::string& p : paths)
        if (std::find(pending_.begin(), pending_.end(), p) == pending_.end()) pending_.push_back(p);
    log_line("Added list %s", describePathList(paths).c_str());
    if (timer_.active()) {
        timer_.cancel();
        log_line("Canceled open timer %d", shot_);
    }
    ++shot_;
    timer_.start(delay_, [this, handler = std::move(handler)] {
        std::vector<std::string> request;
        request.swap(pending_);
        handler(std::move(request));
    });
}

void OpenEventGatherer::cancel() {
    timer_.cancel();
    pending_.clear();
}

std::string describePathList(const std::vector<std::string>& paths) {
    std::string out = "(";
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (i) out += ", ";
        out += paths[i];
    }
    return out + ")";
}

std::vector<std::string> commandLineFiles(const std::vector<std::string>& arguments, const std::string& cwd) {
    std::vector<std::string> files;
    bool onlyFiles = false;  // after "--"
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a.empty()) continue;
        if (!onlyFiles && a == "--") {
            onlyFiles = true;
            continue;
        }
        if (!onlyFiles && a[0] == '-' && a.size() > 1) {
            bool takesValue = false;
            if (isQtOption(a, &takesValue) && takesValue) ++i;
            continue;
        }
        // Without "." and ".." steps, so that the history knows one file
        // under one name however the shell named it.
        const std::string path = a[0] == '/' || cwd.empty() ? a : cwd.back() == '/' ? cwd + a : cwd + "/" + a;
        files.push_back(std::filesystem::path(path).lexically_normal().string());
    }
    return files;
}

std::string currentDirectory() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

std::size_t reportMissingFiles(const std::vector<std::string>& files, std::FILE* out) {
    std::size_t missing = 0;
    struct stat st;
    for (const std::string& f : files)
        if (stat(f.c_str(), &st) != 0) {
            std::fprintf(out, "DVK: File not found: %s\n", f.c_str());
            ++missing;
        }
    return missing;
}

bool dragAcceptable(const std::vector<std::string>& localPaths) {
    struct stat st;
    return std::any_of(localPaths.begin(), localPaths.end(),
                       [&](const std::string& p) { return !p.empty() && stat(p.c_str(), &st) == 0; });
}

}  // namespace dvk
