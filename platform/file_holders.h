// Which processes hold a file: those that have it open or mapped into
// memory, found in /proc as fuser finds them (only the processes this user
// may look into). Each is named by its PID and command name alone, never by
// its arguments, which may carry what other programs were told in confidence.
#pragma once

#include <string>
#include <vector>

namespace dvk {

struct FileHolder {
    int pid = 0;
    // The command name (/proc/PID/comm); control characters shown as "?".
    std::string command;
    bool operator==(const FileHolder&) const = default;
};

// The processes holding `path`, by PID; none when nothing is found there.
// `procRoot` is where the process table is mounted ("/proc").
std::vector<FileHolder> processesHoldingFile(const std::string& path, const std::string& procRoot = "/proc");

// "PID command, PID command" ("" for none).
std::string describeFileHolders(const std::vector<FileHolder>& holders);

}  // namespace dvk
