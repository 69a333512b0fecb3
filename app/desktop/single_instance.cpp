#include "app/desktop/single_instance.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/folders.h"

namespace dvk {

namespace {

constexpr std::string_view kHeader = "DVK2\n";
// The deadline's digits: an int64 has 19 at most.
constexpr std::size_t kMaxDeadlineDigits = 19;

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

std::int64_t instanceClockNow() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::string encodeOpenMessage(const std::vector<std::string>& files, std::int64_t deadline) {
    std::string m(kHeader);
    m += std::to_string(std::max<std::int64_t>(deadline, 0));
    m += '\n';
    for (const std::string& f : files) {
        if (f.empty()) continue;
        m += f;
        m += '\0';
    }
    m += '\0';
    return m;
}

std::optional<OpenMessage> decodeOpenMessage(std::string_view bytes, bool* malformed) {
    if (malformed) *malformed = false;
    auto refuse = [malformed]() -> std::optional<OpenMessage> {
        if (malformed) *malformed = true;
        return std::nullopt;
    };
    const std::size_t n = std::min(bytes.size(), kHeader.size());
    if (bytes.substr(0, n) != kHeader.substr(0, n)) return refuse();
    if (bytes.size() < kHeader.size()) return std::nullopt;
    OpenMessage message;
    std::size_t at = kHeader.size();
    // The deadline: digits up to the newline.
    const std::size_t newline = bytes.find('\n', at);
    const std::size_t digits = (newline == std::string_view::npos ? bytes.size() : newline) - at;
    if (digits > kMaxDeadlineDigits) return refuse();
    for (std::size_t i = at; i < at + digits; ++i)
        if (bytes[i] < '0' || bytes[i] > '9') return refuse();
    if (newline == std::string_view::npos) return std::nullopt;
    if (digits == 0) return refuse();
    std::uint64_t deadline = 0;
    for (std::size_t i = at; i < newline; ++i) deadline = deadline * 10 + static_cast<unsigned>(bytes[i] - '0');
    if (deadline > static_cast<std::uint64_t>(INT64_MAX)) return refuse();
    message.deadline = static_cast<std::int64_t>(deadline);
    at = newline + 1;
    for (;;) {
        const std::size_t end = bytes.find('\0', at);
        if (end == std::string_view::npos) return std::nullopt;
        if (end == at) return message;
        message.files.emplace_back(bytes.substr(at, end - at));
        at = end + 1;
    }
}

bool handOverInTime(const OpenMessage& message, std::int64_t now) {
    // Differences, not sums: no overflow whatever the message says.
    if (message.deadline < now) return false;
    const std::int64_t left = message.deadline - now;
    return left >= kHandOverMarginNs && left <= kHandOverWaitNs;
}

}  // namespace dvk
