#include "platform/folder_functions.h"

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace dvk {

namespace {

std::string without_trailing_slashes(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::string parent_of(const std::string& p) {
    std::string::size_type slash = p.rfind('/');
    if (slash == std::string::npos) return std::string();
    if (slash == 0) return "/";
    return without_trailing_slashes(p.substr(0, slash));
}

// Folders whose direct children are mount points.
bool is_volume_root(const std::string& folder) {
    if (folder == "/Volumes" || folder == "/media" || folder == "/mnt") return true;
    // "/media/<user>" and "/run/media/<user>"
    for (const char* prefix : {"/media/", "/run/media/"}) {
        std::string pre(prefix);
        if (folder.size() > pre.size() && folder.compare(0, pre.size(), pre) == 0 &&
            folder.find('/', pre.size()) == std::string::npos)
            return true;
    }
    return false;
}

bool exists(const std::string& p) {
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
}

// The folders `raw_path` needs, under the rule that no folder is made
// directly inside a volume's root: made (`make`), or only asked whether
// they could be (the nearest existing folder above must be writable).
bool directory_path(const std::string& raw_path, bool make) {
    if (raw_path.empty()) return true;
    std::string path = without_trailing_slashes(raw_path);
    if (path == "/") return true;
    // A disk that is not mounted: there is no such folder.
    if (path == "/Volumes") return errno = ENOENT, false;
    if (exists(path)) return true;
    std::string parent = parent_of(path);
    if (is_volume_root(parent)) return errno = ENOENT, false;
    if (!make) {
        if (parent.empty()) parent = ".";
        if (!exists(parent)) return directory_path(parent, false);
        struct stat st;
        if (::stat(parent.c_str(), &st) != 0) return false;
        if (!S_ISDIR(st.st_mode)) return errno = ENOTDIR, false;
        return access(parent.c_str(), W_OK | X_OK) == 0;
    }
    if (!parent.empty() && !directory_path(parent, true)) return false;
    if (mkdir(path.c_str(), 0755) == 0) return true;
    return errno == EEXIST;  // made meanwhile by someone else
}

}  // namespace

bool exists_at(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool createDirectoryPath(const std::string& raw_path) { return directory_path(raw_path, true); }

bool canCreateDirectoryPath(const std::string& raw_path) { return directory_path(raw_path, false); }

std::string resolveAliasPath(const std::string& path) {
    std::string current = path;
    bool was_link = false;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (lstat(current.c_str(), &st) != 0) return path;
        if (!S_ISLNK(st.st_mode)) {
            return was_link ? current : path;
        }
        char target[PATH_MAX];
        ssize_t n = readlink(current.c_str(), target, sizeof target - 1);
        if (n <= 0) return path;
        target[n] = '\0';
        std::string next(target);
        if (next[0] != '/') {
            std::string folder = parent_of(current);
            next = (folder.empty() ? std::string() : (folder == "/" ? folder : folder + "/")) + next;
        }
        current = next;
        was_link = true;
    }
    return path;  // a loop of links
}

}  // namespace dvk
