// The main queue: work that must run on the main (window) thread.
//
// The program installs a main executor at start-up (the Qt event loop posts
// the task); `runOnMainQueue` runs a task inline when called on the main
// thread and hands it to that executor otherwise. With no executor installed
// the task runs inline on the calling thread. Tests install the inline
// executor or a ManualMainQueue that they drain themselves.
#pragma once

#include <deque>
#include <functional>
#include <mutex>

namespace dvk {

using MainTask = std::function<void()>;
using MainExecutor = std::function<void(MainTask)>;

// Marks the calling thread as the main thread (called once at start-up; the
// first thread that loads this module is the main thread until then).
void markMainThread();
bool isMainThread();

// Installs the executor that queues a task to the main thread (empty: none).
void setMainExecutor(MainExecutor executor);
// An executor that runs every task at once on the calling thread.
MainExecutor inlineMainExecutor();

// Inline on the main thread, else asynchronously through the main executor.
void runOnMainQueue(MainTask task);

// A queue for tests: tasks wait until drain() runs them on the draining thread.
class ManualMainQueue {
public:
    MainExecutor executor();
    // Runs every queued task (including ones queued meanwhile); returns how many ran.
    int drain();
    std::size_t pending() const;

private:
    mutable std::mutex mutex_;
    std::deque<MainTask> tasks_;
};

}  // namespace dvk
