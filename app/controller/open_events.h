// Files handed to the application from outside (its arguments, another
// launch, a drop): open events gathered into one request.
//
// Paths of events that arrive less than the gathering time apart (250 ms)
// become one request, in arrival order, each path once; every event restarts
// the time. The request goes to the handler on the main queue.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/common/main_queue_timer.h"

namespace dvk {

inline constexpr std::chrono::milliseconds kOpenGatheringTime{250};

class OpenEventGatherer {
public:
    using Handler = std::function<void(std::vector<std::string> paths)>;
    explicit OpenEventGatherer(std::chrono::milliseconds delay = kOpenGatheringTime) : delay_(delay) {}

    // Adds the paths (logging "Added list ...") and restarts the time
    // (logging "Canceled ..." for the time it ends early). Main thread.
    void add(const std::vector<std::string>& paths, Handler handler);
    bool gathering() const { return timer_.active(); }
    // Drops the gathered paths; nothing is opened.
    void cancel();
    const std::vector<std::string>& pending() const { return pending_; }

private:
    std::chrono::milliseconds delay_;
    std::vector<std::string> pending_;
    MainQueueTimer timer_;
    int shot_ = 0;
};

// A list of paths as the log shows it: "(path, path)".
std::string describePathList(const std::vector<std::string>& paths);

// The files named by a program's arguments (after the program's own path):
// options (and the values of Qt's options that take one) are left out, every
// argument after "--" is a file, relative paths are made absolute against
// `cwd`.
std::vector<std::string> commandLineFiles(const std::vector<std::string>& arguments, const std::string& cwd);
// The current working directory ("" when it cannot be read).
std::string currentDirectory();
// Says on `out` each of `files` that does not exist, a line each ("DVK: File
// not found: PATH"); answers how many.
std::size_t reportMissingFiles(const std::vector<std::string>& files, std::FILE* out);

// A drag can be taken when at least one of its local paths exists.
bool dragAcceptable(const std::vector<std::string>& localPaths);

}  // namespace dvk
