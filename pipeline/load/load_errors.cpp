// Load error codes and texts, and the access check before decoding.
#include "pipeline/load/load_errors.h"

#include <fcntl.h>
#include <libraw/libraw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dvk {

int load_code_for_errno(int err) { return kLoadSystemError - (err > 0 ? err : EIO); }

int check_raw_file_access(const char* path, std::uint64_t* bytes) {
    if (!path || !*path) return load_code_for_errno(ENOENT);
    struct stat st;
    if (::stat(path, &st) != 0) return load_code_for_errno(errno);
    if (S_ISDIR(st.st_mode)) return load_code_for_errno(EISDIR);
    if (!S_ISREG(st.st_mode)) return kLoadNotRegularFile;
    // Opened once to learn whether this process may read it (the mode bits
    // alone do not say so for root or with access lists). O_NONBLOCK: should
    // the path have become a FIFO meanwhile, the open does not wait.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return load_code_for_errno(errno);
    struct stat opened;
    const bool regular = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    ::close(fd);
    if (!regular) return kLoadNotRegularFile;
    if (bytes) *bytes = static_cast<std::uint64_t>(opened.st_size);
    return 0;
}

std::string load_error_reason(int code) {
    if (code == load_code_for_errno(EISDIR)) return "a folder, not a file";
    if (code <= kLoadSystemError && code > kLoadSystemError - 4096) return std::strerror(kLoadSystemError - code);
    switch (code) {
        case 0: return "no error";
        case kLoadLargerThanData: return "the image is larger than its data";
        case kLoadTooLarge:
        case LIBRAW_TOO_BIG: return "the image is too large to load";
        case kLoadUnsafe: return "the file could not be read safely";
        case kLoadNotRegularFile: return "not a regular file";
        case LIBRAW_FILE_UNSUPPORTED:
        case LIBRAW_REQUEST_FOR_NONEXISTENT_IMAGE: return "not a raw file of a known camera";
        case kLoadDataPastEnd:
        case LIBRAW_IO_ERROR:
        case LIBRAW_DATA_ERROR: return "its data could not be read to the end (the file is cut short or damaged)";
        case LIBRAW_UNSUFFICIENT_MEMORY: return "not enough memory to load it";
        default: break;
    }
    if (code < 0) return std::string("it could not be loaded: ") + libraw_strerror(code);
    return "it could not be loaded";
}

std::string load_error_text(const std::string& path, int code) { return path + ": " + load_error_reason(code); }

int open_failure_code(int libraw_code) {
    return libraw_code == LIBRAW_IO_ERROR || libraw_code == LIBRAW_DATA_ERROR ? LIBRAW_FILE_UNSUPPORTED : libraw_code;
}

bool is_unknown_format(int code) {
    return code == LIBRAW_FILE_UNSUPPORTED || code == LIBRAW_REQUEST_FOR_NONEXISTENT_IMAGE;
}

}  // namespace dvk
