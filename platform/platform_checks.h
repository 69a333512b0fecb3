// Start-up checks of the process.
//
// sysctlbyname_with_pid answers whether a process (0: this one) runs natively
// (1), translated for another processor (0), or -1 on error (with a line on
// standard error). Linux translates no program: the answer is native, with
// nothing said.
// enable_core_dumps lifts the core-file size limit (soft and hard).
#pragma once

namespace dvk {

int sysctlbyname_with_pid(int pid);
void enable_core_dumps();

}  // namespace dvk
