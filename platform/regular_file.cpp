#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>

namespace dvk {

namespace {

void fail(RegularFileRead* r, const std::string& path, std::string reason, int errnum) {
    r->bytes.reset();
    r->errnum = errnum;
    r->reason = std::move(reason);
    r->error = (path.empty() ? std::string("(no file name)") : path) + ": " + r->reason;
}

std::string too_large(unsigned long long size, std::size_t maxBytes) {
    return "too large (" + std::to_string(size) + " bytes, at most " + std::to_string(maxBytes) + ")";
}

}  // namespace

int open_regular_file(const std::string& path, std::size_t maxBytes, RegularFileRead* failure) {
    if (path.empty()) {
        fail(failure, path, std::strerror(ENOENT), ENOENT);
        return -1;
    }
    // O_NONBLOCK: opening a FIFO with no writer returns at once.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int e = errno;
        fail(failure, path, std::strerror(e), e);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        fail(failure, path, std::strerror(e), e);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        fail(failure, path, "not a regular file", 0);
        return -1;
    }
    if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > maxBytes) {
        ::close(fd);
        fail(failure, path, too_large(static_cast<unsigned long long>(st.st_size), maxBytes), 0);
        return -1;
    }
    // Reads of a regular file never block; the flag goes for what follows.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

RegularFileRead read_regular_file(const std::string& path, std::size_t maxBytes) {
    RegularFileRead r;
    const int fd = open_regular_file(path, maxBytes, &r);
    if (fd < 0) return r;
    struct stat st {};
    ::fstat(fd, &st);
    r.version = {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
                 static_cast<unsigned long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
                 static_cast<long long>(st.st_mtim.tv_nsec)};
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            // The file grew while it was read: never past the limit.
            if (bytes.size() > maxBytes) {
                ::close(fd);
                fail(&r, path, too_large(bytes.size(), maxBytes), 0);
                return r;
            }
            bytes.resize(std::min(maxBytes + 1, bytes.size() * 2));
        }
        const ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - have);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            fail(&r, path, std::strerror(e), e);
            return r;
        }
        if (n == 0) break;
        have += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(have);
    r.bytes = std::move(bytes);
    return r;
}

}  // namespace dvk
