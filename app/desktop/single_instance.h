// One running program per support folder. The first launch holds a lock file
// and listens on a local socket, both in the runtime folder
// ($XDG_RUNTIME_DIR) under a name made from the support folder's path; a
// later launch finding the lock held sends its files there and exits with
// the answer. This file holds the names and the messages; the Qt side is in
// app/ui/shell/single_instance.h.
//
// A message: "DVK1\n", then each absolute path followed by a NUL byte, then
// one more NUL. The answer is one byte: '0' the files were taken (or, for no
// files, the window raised), '1' refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dvk {

inline constexpr char kInstanceAccepted = '0';
inline constexpr char kInstanceRefused = '1';

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

std::string encodeOpenMessage(const std::vector<std::string>& files);
// The files of a whole message; nullopt while the bytes hold no whole
// message yet (or never will: `malformed` is set then).
std::optional<std::vector<std::string>> decodeOpenMessage(std::string_view bytes, bool* malformed = nullptr);

}  // namespace dvk
