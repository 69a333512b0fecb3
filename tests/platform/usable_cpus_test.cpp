// The CPUs the process may use: the affinity mask of the calling thread and
// the control-group quotas along the group's folders.
#include <gtest/gtest.h>

#include <sched.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/usable_cpus.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

// The CPUs of the calling thread's mask, in order.
std::vector<int> allowed_cpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    std::vector<int> cpus;
    if (sched_getaffinity(0, sizeof set, &set) != 0) return cpus;
    for (int c = 0; c < CPU_SETSIZE; ++c)
        if (CPU_ISSET(c, &set)) cpus.push_back(c);
    return cpus;
}

// usable_cpu_count() on a thread of its own whose mask holds the first
// `count` allowed CPUs (the process's own threads keep theirs).
int usable_on_narrowed_thread(const std::vector<int>& cpus, std::size_t count) {
    int answer = -1;
    std::thread t([&] {
        cpu_set_t set;
        CPU_ZERO(&set);
        for (std::size_t i = 0; i < count; ++i) CPU_SET(cpus[i], &set);
        if (sched_setaffinity(0, sizeof set, &set) != 0) return;
        answer = usable_cpu_count();
    });
    t.join();
    return answer;
}

TEST(UsableCpus, FollowTheAffinityMask) {
    const std::vector<int> cpus = allowed_cpus();
    ASSERT_FALSE(cpus.empty());
    const int quota = cgroup_cpu_limit("/");
    const auto expected = [&](int n) { return quota > 0 ? std::min(n, quota) : n; };
    EXPECT_EQ(usable_cpu_count(), expected(int(cpus.size())));
    EXPECT_EQ(usable_on_narrowed_thread(cpus, 1), 1);
    if (cpus.size() >= 2) EXPECT_EQ(usable_on_narrowed_thread(cpus, 2), expected(2));
    // The narrowing stayed on its thread.
    EXPECT_EQ(allowed_cpus(), cpus);
}

// A file tree standing in for "/": the process's groups, the mounts and the
// quota files of the groups.
void write_tree(const fs::path& root, const std::map<std::string, std::string>& files) {
    for (const auto& [name, text] : files) {
        const fs::path path = root / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
}

TEST(UsableCpus, QuotasOfTheGroupAndItsAncestors) {
    const std::string v2_mount = "41 31 0:38 / /sys/fs/cgroup rw,nosuid shared:9 - cgroup2 cgroup2 rw\n";
    const std::string v1_mount =
        "32 31 0:29 / /sys/fs/cgroup/cpu,cpuacct rw,relatime shared:10 - cgroup cgroup rw,cpu,cpuacct\n"
        "33 31 0:30 / /sys/fs/cgroup/cpuset rw,relatime - cgroup cgroup rw,cpuset\n";
    struct Case {
        const char* what;
        std::map<std::string, std::string> files;
        int limit;
    } cases[] = {
        {"v2: 1.5 CPUs round up to 2, the parent has no quota",
         {{"proc/self/cgroup", "0::/user.slice/app\n"},
          {"proc/self/mountinfo", v2_mount},
          {"sys/fs/cgroup/user.slice/app/cpu.max", "150000 100000\n"},
          {"sys/fs/cgroup/user.slice/cpu.max", "max 100000\n"}},
         2},
        {"v2: the parent's quota is the tighter",
         {{"proc/self/cgroup", "0::/user.slice/app\n"},
          {"proc/self/mountinfo", v2_mount},
          {"sys/fs/cgroup/user.slice/app/cpu.max", "max 100000\n"},
          {"sys/fs/cgroup/user.slice/cpu.max", "50000 100000\n"}},
         1},
        {"v2: no quota anywhere",
         {{"proc/self/cgroup", "0::/\n"}, {"proc/self/mountinfo", v2_mount}, {"sys/fs/cgroup/cpu.max", "max 100000\n"}},
         0},
        {"v1: the cpu controller's quota and period",
         {{"proc/self/cgroup", "5:cpuset:/\n4:cpu,cpuacct:/docker/abc\n"},
          {"proc/self/mountinfo", v1_mount},
          {"sys/fs/cgroup/cpu,cpuacct/docker/abc/cpu.cfs_quota_us", "300000\n"},
          {"sys/fs/cgroup/cpu,cpuacct/docker/abc/cpu.cfs_period_us", "100000\n"}},
         3},
        {"v1: -1 is no quota",
         {{"proc/self/cgroup", "4:cpu,cpuacct:/\n"},
          {"proc/self/mountinfo", v1_mount},
          {"sys/fs/cgroup/cpu,cpuacct/cpu.cfs_quota_us", "-1\n"},
          {"sys/fs/cgroup/cpu,cpuacct/cpu.cfs_period_us", "100000\n"}},
         0},
        {"v1 in a container: the mount's root is the group itself",
         {{"proc/self/cgroup", "4:cpu,cpuacct:/docker/abc\n"},
          {"proc/self/mountinfo",
           "32 31 0:29 /docker/abc /sys/fs/cgroup/cpu,cpuacct ro - cgroup cgroup rw,cpu,cpuacct\n"},
          {"sys/fs/cgroup/cpu,cpuacct/cpu.cfs_quota_us", "200000\n"},
          {"sys/fs/cgroup/cpu,cpuacct/cpu.cfs_period_us", "100000\n"}},
         2},
        {"both hierarchies: the smaller",
         {{"proc/self/cgroup", "4:cpu,cpuacct:/\n0::/app\n"},
          {"proc/self/mountinfo", v1_mount + v2_mount},
          {"sys/fs/cgroup/cpu,cpuacct/cpu.cfs_quota_us", "400000\n"},
          {"sys/fs/cgroup/cpu,cpuacct/cpu.cfs_period_us", "100000\n"},
          {"sys/fs/cgroup/app/cpu.max", "250000 100000\n"}},
         3},
        {"a damaged quota file counts as none",
         {{"proc/self/cgroup", "0::/app\n"}, {"proc/self/mountinfo", v2_mount}, {"sys/fs/cgroup/app/cpu.max", "2x 100\n"}},
         0},
        {"nothing to read", {}, 0},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        write_tree(dir.path(), c.files);
        EXPECT_EQ(cgroup_cpu_limit(dir.path().string()), c.limit) << c.what;
    }
}

}  // namespace
}  // namespace dvk
