#include "app/desktop/single_instance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/folders.h"

namespace dvk {

namespace {

constexpr std::string_view kHeader = "DVK1\n";

// FNV-1a, 64 bits: a short name for a path.
std::uint64_t path_hash(const std::string& s) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

std::optional<std::string> instanceRuntimeFolder(std::string* why) {
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir) return std::string(dir);
    // In a folder everyone writes in: someone else may have made it first.
    const std::string folder = temporaryDirectory() + "/dvk-runtime-" + std::to_string(getuid());
    const int made = mkdir(folder.c_str(), 0700) == 0 ? 0 : errno;
    struct stat st {};
    std::string problem;
    if (lstat(folder.c_str(), &st) != 0) {
        problem = std::string("cannot be made: ") + std::strerror(made ? made : errno);
    } else if (S_ISLNK(st.st_mode)) {
        char target[4096];
        const ssize_t n = readlink(folder.c_str(), target, sizeof target - 1);
        problem = "is a symbolic link";
        if (n > 0) problem += " (to " + std::string(target, static_cast<std::size_t>(n)) + ")";
        problem += ", not a folder of its own";
    } else if (!S_ISDIR(st.st_mode)) {
        problem = "is not a folder";
    } else if (st.st_uid != getuid()) {
        problem = "belongs to another user";
    } else if ((st.st_mode & 077) != 0) {
        char mode[48];
        std::snprintf(mode, sizeof mode, "is open to other users (mode %03o)",
                      static_cast<unsigned>(st.st_mode & 0777));
        problem = mode;
    }
    if (problem.empty()) return folder;
    if (why) *why = "the runtime folder " + folder + " " + problem;
    return std::nullopt;
}

InstancePaths instancePaths(const std::string& supportFolder, const std::string& runtimeFolder) {
    char name[40];
    std::snprintf(name, sizeof name, "dvk-%016llx", static_cast<unsigned long long>(path_hash(supportFolder)));
    const std::string base = runtimeFolder + "/" + name;
    return {base + ".lock", base + ".socket"};
}

std::string encodeOpenMessage(const std::vector<std::string>& files) {
    std::string m(kHeader);
    for (const std::string& f : files) {
        if (f.empty()) continue;
        m += f;
        m += '\0';
    }
    m += '\0';
    return m;
}

std::optional<std::vector<std::string>> decodeOpenMessage(std::string_view bytes, bool* malformed) {
    if (malformed) *malformed = false;
    const std::size_t n = std::min(bytes.size(), kHeader.size());
    if (bytes.substr(0, n) != kHeader.substr(0, n)) {
        if (malformed) *malformed = true;
        return std::nullopt;
    }
    if (bytes.size() < kHeader.size()) return std::nullopt;
    std::vector<std::string> files;
    std::size_t at = kHeader.size();
    for (;;) {
        const std::size_t end = bytes.find('\0', at);
        if (end == std::string_view::npos) return std::nullopt;
        if (end == at) return files;
        files.emplace_back(bytes.substr(at, end - at));
        at = end + 1;
    }
}

}  // namespace dvk
