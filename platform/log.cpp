#include "platform/log.h"

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

}  // namespace dvk
