// Whole files from elsewhere (settings, presets, profiles, references): only
// a regular file is read, opened without blocking (a FIFO cannot hang the
// reader) and checked with fstat after the open (a link swapped in between
// changes nothing), and only up to a size limit (a device such as /dev/zero
// cannot fill the memory). Each failure carries the reason to show:
// "PATH: not a regular file", "PATH: too large (N bytes, at most M)",
// "PATH: Permission denied".
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace dvk {

// Size limits of the kinds of files read whole.
inline constexpr std::size_t kSettingsFileMaxBytes = std::size_t{4} << 20;    // settings text, presets, lists
inline constexpr std::size_t kDefaultsFileMaxBytes = std::size_t{16} << 20;   // the user defaults
inline constexpr std::size_t kProfileFileMaxBytes = std::size_t{64} << 20;    // ICC profiles
inline constexpr std::size_t kReferenceFileMaxBytes = std::size_t{32} << 20;  // CGATS references, TI3, patch lists

// What tells one version of a file from another: the file (device and inode),
// its size and its modification time.
struct FileVersion {
    unsigned long long device = 0, inode = 0, size = 0;
    long long mtimeSeconds = 0, mtimeNanoseconds = 0;
    bool operator==(const FileVersion&) const = default;
};

struct RegularFileRead {
    std::optional<std::string> bytes;  // the whole file; nullopt on failure
    FileVersion version;               // of the file read (as it was opened)
    std::string error;                 // "PATH: reason" on failure
    std::string reason;                // "not a regular file", "Permission denied", ...
    int errnum = 0;                    // the system's error number, or 0 (not regular, too large)
    explicit operator bool() const { return bytes.has_value(); }
};

// Reads the whole regular file at `path`, at most `maxBytes` bytes.
RegularFileRead read_regular_file(const std::string& path, std::size_t maxBytes);

// Opens `path` for reading as read_regular_file does (close-on-exec, blocking
// reads after the open). The descriptor, or -1 with the error, reason and
// error number in *failure.
int open_regular_file(const std::string& path, std::size_t maxBytes, RegularFileRead* failure);

}  // namespace dvk
