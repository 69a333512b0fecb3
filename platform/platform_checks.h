// Start-up checks of the process.
//
// sysctlbyname_with_pid answers whether a process (0: this one) runs natively
// (1), translated for another processor (0), or -1 on error. Linux has no
// translation and no "sysctl.proc_native" value: the query fails as "no such
// value" (one line on standard error) and the answer is native.
// enable_core_dumps lifts the core-file size limit (soft and hard).
#pragma once

namespace dvk {

int sysctlbyname_with_pid(int pid);
void enable_core_dumps();

}  // namespace dvk
