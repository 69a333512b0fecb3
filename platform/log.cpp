#include "platform/log.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace dvk {

void log_line(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    if (text.empty() || text.back() != '\n') text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stderr);
}

namespace {

std::atomic<int> g_terminal{-1};

}  // namespace

void set_terminal_descriptor(int fd) { g_terminal = fd; }

void terminal_text(const std::string& text) {
    const int fd = g_terminal.load();
    if (fd < 0) return;
    std::string all = text;
    if (all.empty() || all.back() != '\n') all.push_back('\n');
    std::size_t done = 0;
    while (done < all.size()) {
        const ssize_t n = ::write(fd, all.data() + done, all.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace dvk
