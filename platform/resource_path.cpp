#include "platform/resource_path.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

// The installed resources folder relative to the installed executables'
// folder (set by the build from its install directories).
#ifndef DVK_INSTALLED_RESOURCES
#define DVK_INSTALLED_RESOURCES "../share/dvk/resources"
#endif

namespace dvk {
namespace {

bool is_folder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string executable_folder() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string exe(buf, std::size_t(n));
    std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : exe.substr(0, slash);
}

// The folder's own name, without "..", "." or links ("PREFIX/bin/../share"
// is shown to the user as "PREFIX/share").
std::string canonical_folder(const std::string& path) {
    char buf[PATH_MAX];
    if (!realpath(path.c_str(), buf)) return path;
    return buf;
}

}  // namespace

std::string resource_path_for(const std::string& exe_folder, const std::string& installed_relative) {
    const std::string base = exe_folder == "/" ? std::string() : exe_folder;
    const std::string beside = base + "/resources";
    if (is_folder(beside)) return canonical_folder(beside);
    const std::string installed = base + "/" + installed_relative;
    return is_folder(installed) ? canonical_folder(installed) : beside;
}

std::string resource_path() {
    static const std::string path = resource_path_for(executable_folder(), DVK_INSTALLED_RESOURCES);
    return path;
}

std::string resource_file(const char* name) { return resource_path() + "/" + name; }

}  // namespace dvk
