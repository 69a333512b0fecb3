// Files that profiling writes: private temporary files made with mkstemps, and
// files written under a temporary name in their folder and renamed into place.
#pragma once

#include <sys/types.h>

#include <string>

namespace dvk {

class cgats;

// A new empty file of mode 0600 named `prefix` + six random characters +
// `suffix`, created exclusively (a planted file or link is never used).
// Removed by the destructor unless released. path() is empty when it could
// not be made.
class PrivateFile {
public:
    PrivateFile() = default;  // no file
    PrivateFile(const std::string& prefix, const std::string& suffix);
    ~PrivateFile();
    PrivateFile(PrivateFile&& other) noexcept;
    PrivateFile& operator=(PrivateFile&& other) noexcept;
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    const std::string& path() const { return path_; }
    bool ok() const { return !path_.empty(); }
    // Removes the file now.
    void remove();
    // Keeps the file: the destructor leaves it alone.
    std::string release();

private:
    std::string path_;
};

// The folder part of `path` ("." when it has none).
std::string folder_of(const std::string& path);

// The mode a new file of the user's gets: 0666 without the process umask.
mode_t user_file_mode();
// The mode a file written over `path` takes: the permissions of the file
// there, or user_file_mode() when there is none.
mode_t mode_for_replacing(const std::string& path);

// Writes the CGATS object to a new file beside `path` and renames it over
// `path` (mode `mode`); false, with nothing left behind, when any step fails.
bool write_cgats_replacing(cgats& c, const std::string& path, mode_t mode);

}  // namespace dvk
