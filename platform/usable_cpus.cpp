#include "platform/usable_cpus.h"

#include <sched.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

namespace dvk {

namespace {

// The first line of a small text file ("" when it cannot be read).
std::string first_line(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (in) std::getline(in, line);
    return line;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    return parts;
}

// mountinfo writes a blank, a tab, a line end and a backslash in a path as
// \ooo (three octal digits).
std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' &&
            s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string without_trailing_slashes(std::string path) {
    while (!path.empty() && path.back() == '/') path.pop_back();
    return path;
}

// A whole number text, or nothing.
bool parse_number(const std::string& text, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || !end || *end != '\0') return false;
    *value = v;
    return true;
}

// The whole CPUs a quota per period allows; 0 for no quota.
int whole_cpus(double quota, double period) {
    if (!(quota > 0) || !(period > 0)) return 0;
    const double n = std::ceil(quota / period);
    if (n < 1) return 1;
    return n > 1e6 ? 1000000 : static_cast<int>(n);
}

int v2_limit(const std::string& dir) {
    // "max PERIOD" (no quota) or "QUOTA PERIOD", in microseconds.
    const std::vector<std::string> fields = split(first_line(dir + "/cpu.max"), ' ');
    double quota = 0, period = 0;
    if (fields.size() < 2 || !parse_number(fields[0], &quota) || !parse_number(fields[1], &period)) return 0;
    return whole_cpus(quota, period);
}

int v1_limit(const std::string& dir) {
    // A quota of -1 is none.
    double quota = 0, period = 0;
    if (!parse_number(first_line(dir + "/cpu.cfs_quota_us"), &quota) ||
        !parse_number(first_line(dir + "/cpu.cfs_period_us"), &period))
        return 0;
    return whole_cpus(quota, period);
}

// The smallest quota of the group at `dir` and of its ancestors up to the
// mount point `top` (0: none).
int smallest_limit_up(std::string dir, const std::string& top, bool v2) {
    int best = 0;
    for (;;) {
        const int n = v2 ? v2_limit(dir) : v1_limit(dir);
        if (n > 0 && (best == 0 || n < best)) best = n;
        if (dir.size() <= top.size()) break;
        const std::size_t slash = dir.rfind('/');
        dir = slash != std::string::npos && slash >= top.size() ? dir.substr(0, slash) : top;
    }
    return best;
}

// The folder of the process's group `path` under a mount of the hierarchy
// whose own root is `mount_root`, mounted at `mount_point`.
std::string group_folder(const std::string& mount_point, const std::string& mount_root, const std::string& path) {
    const std::string root = without_trailing_slashes(mount_root);
    std::string rel;
    if (root.empty())
        rel = path;
    else if (path == root || path.compare(0, root.size() + 1, root + "/") == 0)
        rel = path.substr(root.size());
    // A group outside the mount's root (another namespace's view): the mount's own folder.
    return mount_point + without_trailing_slashes(rel);
}

struct CpuSetDeleter {
    void operator()(cpu_set_t* set) const { CPU_FREE(set); }
};

// CPUs of the calling thread's affinity mask, or -1 (errno set).
int affinity_count() {
    for (int cpus = CPU_SETSIZE; cpus <= (1 << 20); cpus *= 2) {
        std::unique_ptr<cpu_set_t, CpuSetDeleter> set(CPU_ALLOC(cpus));
        if (!set) return -1;
        const std::size_t size = CPU_ALLOC_SIZE(cpus);
        CPU_ZERO_S(size, set.get());
        if (sched_getaffinity(0, size, set.get()) == 0) return CPU_COUNT_S(size, set.get());
        if (errno != EINVAL) return -1;  // EINVAL: more CPUs than the set holds
    }
    return -1;
}

}  // namespace

int cgroup_cpu_limit(const std::string& root) {
    const std::string prefix = without_trailing_slashes(root);
    // "ID:CONTROLLERS:PATH"; v2 is "0::PATH".
    std::string v2_path, v1_path;
    bool have_v2 = false, have_v1 = false;
    {
        std::ifstream in(prefix + "/proc/self/cgroup");
        std::string line;
        while (std::getline(in, line)) {
            const std::size_t a = line.find(':');
            const std::size_t b = a == std::string::npos ? a : line.find(':', a + 1);
            if (b == std::string::npos) continue;
            const std::string controllers = line.substr(a + 1, b - a - 1), path = line.substr(b + 1);
            if (line.compare(0, a, "0") == 0 && controllers.empty()) {
                v2_path = path;
                have_v2 = true;
            }
            for (const std::string& c : split(controllers, ','))
                if (c == "cpu") {
                    v1_path = path;
                    have_v1 = true;
                }
        }
    }
    if (!have_v1 && !have_v2) return 0;

    int best = 0;
    std::ifstream in(prefix + "/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        // ID PARENT MAJOR:MINOR ROOT MOUNT-POINT OPTIONS [OPTIONAL...] - TYPE SOURCE SUPER-OPTIONS
        const std::vector<std::string> f = split(line, ' ');
        if (f.size() < 5) continue;
        std::size_t dash = 6;
        while (dash < f.size() && f[dash] != "-") ++dash;
        if (dash + 1 >= f.size()) continue;
        const std::string& type = f[dash + 1];
        const std::string options = dash + 3 < f.size() ? f[dash + 3] : std::string();
        bool v2 = false;
        if (type == "cgroup2" && have_v2) {
            v2 = true;
        } else if (type == "cgroup" && have_v1) {
            bool cpu = false;
            for (const std::string& o : split(options, ',')) cpu = cpu || o == "cpu";
            if (!cpu) continue;
        } else {
            continue;
        }
        const std::string top = prefix + without_trailing_slashes(unescape(f[4]));
        const std::string dir = group_folder(top, unescape(f[3]), v2 ? v2_path : v1_path);
        const int n = smallest_limit_up(dir, top, v2);
        if (n > 0 && (best == 0 || n < best)) best = n;
    }
    return best;
}

int usable_cpu_count() {
    int n = affinity_count();
    if (n <= 0) {
        std::fprintf(stderr, "sched_getaffinity failed: %s\n", std::strerror(errno));
        n = 2;
    }
    const int quota = cgroup_cpu_limit("/");
    if (quota > 0 && quota < n) n = quota;
    return n < 1 ? 1 : n;
}

}  // namespace dvk
