#include "pipeline/writers/safe_output.h"

#include <dirent.h>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace dvk {

namespace {

mode_t current_umask() {
    mode_t m = umask(0);
    umask(m);
    return m;
}

}  // namespace

SafeOutputFile::SafeOutputFile(std::string path) : path_(std::move(path)) {
    std::string::size_type slash = path_.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    std::string templ = folder + "." + name + ".XXXXXX";
    int fd = mkstemp(templ.data());
    if (fd < 0) return;
    // The finished file gets the permissions a plain fopen("wb") would give.
    static const mode_t mask = current_umask();
    fchmod(fd, 0666 & ~mask);
    file_ = fdopen(fd, "wb");
    if (!file_) {
        int e = errno;
        close(fd);
        unlink(templ.c_str());
        errno = e;
        return;
    }
    temp_ = std::move(templ);
}

SafeOutputFile::~SafeOutputFile() { discard(); }

bool SafeOutputFile::commit() {
    if (!file_) return false;
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
    ok = (std::fclose(file_) == 0) && ok;
    file_ = nullptr;
    if (ok && std::rename(temp_.c_str(), path_.c_str()) == 0) {
        temp_.clear();
        return true;
    }
    int e = errno;
    unlink(temp_.c_str());
    temp_.clear();
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
}

std::vector<std::string> leftover_temporary_files(const std::string& path, bool hidden) {
    std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // The mkstemp template: the name, a dot and six characters.
    const std::string prefix = (hidden ? "." : "") + name + ".";
    std::vector<std::string> found;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return found;
    while (dirent* entry = readdir(dir)) {
        const std::string entryName = entry->d_name;
        if (entryName.size() == prefix.size() + 6 && entryName.compare(0, prefix.size(), prefix) == 0)
            found.push_back(slash == std::string::npos ? entryName : folder + entryName);
    }
    closedir(dir);
    return found;
}

}  // namespace dvk
