#include "pipeline/writers/safe_output.h"

#include "pipeline/writers/output_naming.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

namespace dvk {

namespace {

constexpr std::string_view kWriterTag = ".dvk-";
constexpr std::size_t kRandomPart = 6;  // the XXXXXX of mkstemp

mode_t current_umask() {
    mode_t m = umask(0);
    umask(m);
    return m;
}

std::string folder_of(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string name_of(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct TempName {
    std::string destination;  // the name the file was to get
    pid_t writer = 0;
};

// ".<name>.dvk-<pid>-XXXXXX" read back; nothing for any other name.
std::optional<TempName> parse_temp_name(const std::string& entry) {
    const std::size_t n = entry.size();
    if (n < 1 + 1 + kWriterTag.size() + 1 + 1 + kRandomPart || entry[0] != '.') return std::nullopt;
    for (std::size_t i = n - kRandomPart; i < n; ++i)
        if (!std::isalnum(static_cast<unsigned char>(entry[i]))) return std::nullopt;
    std::size_t at = n - kRandomPart - 1;
    if (entry[at] != '-') return std::nullopt;
    const std::size_t digitsEnd = at;
    while (at > 0 && std::isdigit(static_cast<unsigned char>(entry[at - 1]))) --at;
    if (at == digitsEnd || digitsEnd - at > 9 || at < 1 + kWriterTag.size() + 1) return std::nullopt;
    if (entry.compare(at - kWriterTag.size(), kWriterTag.size(), kWriterTag) != 0) return std::nullopt;
    TempName t;
    t.destination = entry.substr(1, at - kWriterTag.size() - 1);
    t.writer = static_cast<pid_t>(std::atol(entry.substr(at, digitsEnd - at).c_str()));
    return t;
}

// True when the process that wrote `path` has ended: no process has its id
// here, and no one (a writer on another machine sharing the folder) holds
// the file's lock.
bool writer_has_ended(const std::string& path, pid_t writer, int* lockedFd) {
    *lockedFd = -1;
    if (writer <= 0 || writer == getpid()) return false;
    if (kill(writer, 0) == 0 || errno != ESRCH) return false;
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    *lockedFd = fd;
    return true;
}

// The longest name a temporary file in `folder` may have: the file system's
// longest file name, less where the folder's path leaves less.
std::size_t longest_temp_name(const std::string& folder) {
    const std::size_t most = longest_file_name(folder);
    const std::size_t room = folder.size() < PATH_MAX - 1 ? PATH_MAX - 1 - folder.size() : 0;
    return std::min(most, room);
}

// What of the destination's name the temporary file of writer `writer`
// carries: all of it when the temporary name fits in `most` bytes, else as
// much of its start as fits, in whole UTF-8 characters (at least one byte).
std::string temp_stem(const std::string& name, pid_t writer, std::size_t most) {
    const std::size_t overhead = 1 + kWriterTag.size() + std::to_string(writer).size() + 1 + kRandomPart;
    if (name.size() + overhead <= most) return name;
    std::size_t keep = most > overhead + 1 ? most - overhead : 1;
    while (keep > 1 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    return name.substr(0, keep);
}

// The temporary files of ended writers in `folder`, those for `destination`
// alone when it is given.
std::vector<std::string> dead_writers_files(const std::string& folder, const std::string* destination,
                                            bool remove) {
    std::vector<std::string> found;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return found;
    const std::size_t most = destination ? longest_temp_name(folder) : 0;
    while (dirent* entry = readdir(dir)) {
        const std::optional<TempName> t = parse_temp_name(entry->d_name);
        if (!t) continue;
        // A long name's temporary file carries the start of it.
        if (destination && t->destination != *destination &&
            t->destination != temp_stem(*destination, t->writer, most))
            continue;
        const std::string path = folder + entry->d_name;
        int fd = -1;
        if (!writer_has_ended(path, t->writer, &fd)) continue;
        if (!remove || unlink(path.c_str()) == 0) found.push_back(path);
        close(fd);
    }
    closedir(dir);
    return found;
}

}  // namespace

std::string safe_output_template(const std::string& path, pid_t pid) {
    const std::string folder = folder_of(path);
    return folder + "." + temp_stem(name_of(path), pid, longest_temp_name(folder)) + std::string(kWriterTag) +
           std::to_string(pid) + "-XXXXXX";
}

SafeOutputFile::SafeOutputFile(std::string path) : path_(std::move(path)) {
    std::string templ = safe_output_template(path_, getpid());
    int fd = mkostemp(templ.data(), O_CLOEXEC);
    if (fd < 0) return;
    // Held until the file is renamed or removed: the writer is alive.
    flock(fd, LOCK_EX | LOCK_NB);
    lock_ = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    // The finished file gets the permissions a plain fopen("wb") would give.
    static const mode_t mask = current_umask();
    fchmod(fd, 0666 & ~mask);
    file_ = fdopen(fd, "wb");
    if (!file_) {
        int e = errno;
        close(fd);
        unlink(templ.c_str());
        unlock();
        errno = e;
        return;
    }
    temp_ = std::move(templ);
}

SafeOutputFile::~SafeOutputFile() { discard(); }

void SafeOutputFile::unlock() {
    if (lock_ >= 0) close(lock_);
    lock_ = -1;
}

bool SafeOutputFile::commit() {
    if (!file_) return false;
    // A file replaced keeps its permissions (one the user kept private stays so).
    struct stat replaced {};
    if (::stat(path_.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode))
        fchmod(fileno(file_), replaced.st_mode & 0777);
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
    ok = (std::fclose(file_) == 0) && ok;
    file_ = nullptr;
    if (ok && std::rename(temp_.c_str(), path_.c_str()) == 0) {
        temp_.clear();
        unlock();
        return true;
    }
    int e = errno;
    unlink(temp_.c_str());
    temp_.clear();
    unlock();
    errno = e;
    return false;
}

void SafeOutputFile::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        unlink(temp_.c_str());
        temp_.clear();
    }
    unlock();
}

std::vector<std::string> leftover_temporary_files(const std::string& path, bool hidden) {
    const std::string folder = folder_of(path);
    const std::string name = name_of(path);
    std::vector<std::string> found;
    if (hidden) found = dead_writers_files(folder, &name, false);
    // The mkstemp template of a write by replacement (and of a SafeOutputFile
    // of earlier versions, with a dot before): the name, a dot and six characters.
    const std::string prefix = (hidden ? "." : "") + name + ".";
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return found;
    while (dirent* entry = readdir(dir)) {
        const std::string entryName = entry->d_name;
        if (entryName.size() == prefix.size() + kRandomPart && entryName.compare(0, prefix.size(), prefix) == 0)
            found.push_back(folder + entryName);
    }
    closedir(dir);
    return found;
}

std::vector<std::string> remove_dead_writers_leftovers(const std::string& folder) {
    std::string f = folder;
    if (!f.empty() && f.back() != '/') f += '/';
    return dead_writers_files(f, nullptr, true);
}

}  // namespace dvk
