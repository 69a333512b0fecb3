// One running program per support folder. The first launch holds a lock file
// and listens on a local socket, both in the runtime folder
// ($XDG_RUNTIME_DIR) under a name made from the support folder's path; a
// later launch finding the lock held sends its files there and exits with
// the answer. This file holds the names, the messages and the rule of a
// hand-over's time; the Qt side is in app/ui/shell/single_instance.h.
//
// A message: "DVK2\n", the time the launch stops waiting for the answer (its
// deadline: nanoseconds of the system's monotonic clock, in decimal) and
// "\n", then each absolute path followed by a NUL byte, then one more NUL.
// The answer is one byte: '0' the files were taken (or, for no files, the
// window raised), '1' refused, '2' too late: the launch is giving up (or has
// given up) waiting, so nothing was done. A message is acted on only while
// its launch still waits, with time to spare for the answer to reach it: a
// launch that said the program does not answer is never acted on later
// (a program stopped while the message waited in its socket, say).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dvk {

inline constexpr char kInstanceAccepted = '0';
inline constexpr char kInstanceRefused = '1';
inline constexpr char kInstanceLate = '2';

// How long a launch waits for the answer, and the time a message must still
// have before its deadline to be acted on (its answer on the way back).
inline constexpr std::int64_t kHandOverWaitNs = 10'000'000'000;
inline constexpr std::int64_t kHandOverMarginNs = 2'000'000'000;

struct InstancePaths {
    std::string lockFile;
    std::string socketFile;
};

// $XDG_RUNTIME_DIR when set, else "dvk-runtime-<uid>" in the temporary
// folder, made with mode 0700 when missing. That folder is refused (nullopt,
// the reason in *why) unless it is a folder (not a link) of this user's that
// no one else may use (no group or other permission).
std::optional<std::string> instanceRuntimeFolder(std::string* why = nullptr);
// The lock and socket of the instance serving `supportFolder`.
InstancePaths instancePaths(const std::string& supportFolder, const std::string& runtimeFolder);

// Now on the system's monotonic clock, which every process of the computer
// shares (nanoseconds).
std::int64_t instanceClockNow();

struct OpenMessage {
    std::vector<std::string> files;
    std::int64_t deadline = 0;  // on instanceClockNow()'s clock
};

std::string encodeOpenMessage(const std::vector<std::string>& files, std::int64_t deadline);
// A whole message; nullopt while the bytes hold no whole message yet (or
// never will: `malformed` is set then).
std::optional<OpenMessage> decodeOpenMessage(std::string_view bytes, bool* malformed = nullptr);

// Whether the program acts on `message` at `now`: only while its launch
// waits for at least kHandOverMarginNs more, and never for a deadline further
// off than a launch waits (a clock not shared, or a message of no launch).
bool handOverInTime(const OpenMessage& message, std::int64_t now);

}  // namespace dvk
