#include "profiling/private_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "pipeline/writers/output_naming.h"
#include "profiling/cgats/cgats.h"

namespace dvk {

PrivateFile::PrivateFile(const std::string& prefix, const std::string& suffix) {
    std::string pattern = prefix + "XXXXXX" + suffix;
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemps(buffer.data(), static_cast<int>(suffix.size()));
    if (fd < 0) return;
    close(fd);
    path_ = buffer.data();
}

PrivateFile::~PrivateFile() { remove(); }

PrivateFile::PrivateFile(PrivateFile&& other) noexcept : path_(std::exchange(other.path_, {})) {}

PrivateFile& PrivateFile::operator=(PrivateFile&& other) noexcept {
    if (this != &other) {
        remove();
        path_ = std::exchange(other.path_, {});
    }
    return *this;
}

void PrivateFile::remove() {
    if (!path_.empty()) unlink(path_.c_str());
    path_.clear();
}

std::string PrivateFile::release() { return std::exchange(path_, {}); }

std::string folder_of(const std::string& path) {
    const std::string folder = deleting_last_path_component(path);
    return folder.empty() ? std::string(".") : folder;
}

mode_t user_file_mode() {
    // The umask is read from /proc: umask() itself cannot be read without
    // changing it, which would race with other threads creating files.
    mode_t mask = 022;
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(f);
    }
    return 0666 & ~mask;
}

mode_t mode_for_replacing(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : user_file_mode();
}

bool write_cgats_replacing(cgats& c, const std::string& path, mode_t mode) {
    PrivateFile temp(folder_of(path) + "/." + last_path_component(path) + ".", "");
    if (!temp.ok()) return false;
    if (c.write_name(temp.path().c_str()) != 0) return false;
    if (chmod(temp.path().c_str(), mode) != 0) return false;
    if (std::rename(temp.path().c_str(), path.c_str()) != 0) return false;
    temp.release();
    return true;
}

}  // namespace dvk
