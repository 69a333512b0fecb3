#include "tools/common/own_line.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>

namespace dvk::tools {
namespace {

std::atomic<bool> line_open{false};

bool write_all(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(STDERR_FILENO, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

ssize_t write_stderr(void*, const char* data, std::size_t size) {
    if (size == 0) return 0;
    if (!write_all(data, size)) return -1;
    line_open = data[size - 1] != '\n';
    return static_cast<ssize_t>(size);
}

}  // namespace

void track_engine_messages() {
    static const bool tracked = [] {
        cookie_io_functions_t io{};
        io.write = write_stderr;
        FILE* stream = fopencookie(nullptr, "w", io);
        if (!stream) return false;
        setvbuf(stream, nullptr, _IONBF, 0);
        stderr = stream;
        return true;
    }();
    (void)tracked;
}

void start_own_line() {
    std::fflush(stderr);
    if (line_open.exchange(false)) write_all("\n", 1);
}

void tool_print(FILE* stream, const char* format, ...) {
    start_own_line();
    va_list args;
    va_start(args, format);
    std::vfprintf(stream, format, args);
    va_end(args);
}

}  // namespace dvk::tools
