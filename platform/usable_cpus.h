// How many CPUs this process may really use: the band threads follow it.
//
// usable_cpu_count() counts the CPUs of the calling thread's affinity mask
// (what `taskset` or a container's cpuset allows) and limits them by the CPU
// quota of the process's control group and its ancestors (cgroup v2
// "cpu.max", v1 "cpu.cfs_quota_us" over "cpu.cfs_period_us", rounded up to
// whole CPUs). When the affinity mask cannot be read it answers 2 and says so
// on standard error; the answer is never below 1.
#pragma once

#include <string>

namespace dvk {

int usable_cpu_count();

// The quota part alone, over the file tree at `root` ("/" for this system):
// the whole CPUs the quotas of the control groups that root + "/proc/self/
// cgroup" names allow, found through root + "/proc/self/mountinfo"; 0 when no
// quota limits the process (or nothing can be read).
int cgroup_cpu_limit(const std::string& root);

}  // namespace dvk
