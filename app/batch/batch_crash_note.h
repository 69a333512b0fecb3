// A note the program leaves when it crashes while a batch develops a file,
// so that a resumed batch knows the file crashed it (and does not try it
// again) rather than only that the batch ended.
//
// While armed, a fatal signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT)
// writes the armed text to the armed path (to a temporary name beside it,
// renamed into place; nothing but system calls runs in the handler), then the
// signal takes its course as it would have (the handler in place before, or
// the default end). A kill (SIGKILL) leaves no note: nothing runs.
#pragma once

#include <string>

namespace dvk {

// Until disarmed or armed again, a crash writes `text` to `path`. The
// handlers are put in place at the first arming.
void armCrashNote(const std::string& path, std::string text);
void disarmCrashNote();

// The temporary name a crash writes to before renaming (what a crash in the
// middle of writing leaves).
std::string crashNoteTemporaryPath(const std::string& path);

}  // namespace dvk
