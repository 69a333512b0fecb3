#include "platform/folders.h"

#include <cstdlib>

namespace dvk {

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string strip_slash(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

}  // namespace

std::string temporaryDirectory() {
    std::string t = env("TMPDIR");
    return t.empty() ? std::string("/tmp") : strip_slash(t);
}

std::string userApplicationSupportFolder() {
    std::string data = env("XDG_DATA_HOME");
    if (!data.empty() && data[0] == '/') return strip_slash(data);
    std::string home = env("HOME");
    if (!home.empty()) return strip_slash(home) + "/.local/share";
    return temporaryDirectory();
}

std::string applicationSupportFolder() { return userApplicationSupportFolder() + "/DVK"; }

}  // namespace dvk
