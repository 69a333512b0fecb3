#include "tools/common/setting_assignment.h"

#include <cstdio>
#include <cstring>

namespace dvk::tools {

bool add_setting_assignment(const char* program, const char* text,
                            std::vector<std::pair<std::string, std::string>>& settings) {
    const char* eq = std::strchr(text, '=');
    if (!eq || eq == text) {
        std::fprintf(stderr, "%s: --set takes KEY=VALUE, not %s\n", program, text);
        return false;
    }
    settings.emplace_back(std::string(text, eq), std::string(eq + 1));
    return true;
}

}  // namespace dvk::tools
