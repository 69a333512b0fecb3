#include "platform/resource_path.h"

#include <climits>
#include <unistd.h>

namespace dvk {

std::string resource_path() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "resources";
    std::string exe(buf, std::size_t(n));
    std::size_t slash = exe.rfind('/');
    return (slash == std::string::npos ? std::string(".") : exe.substr(0, slash)) + "/resources";
}

std::string resource_file(const char* name) { return resource_path() + "/" + name; }

}  // namespace dvk
