// The main queue: work that must run on the main (window) thread.
//
// The program installs a main executor at start-up (the Qt event loop posts
// the task); `runOnMainQueue` runs a task inline when called on the main
// thread and hands it to that executor otherwise. With no executor installed
// the task runs inline on the calling thread. Tests install the inline
// executor or a ManualMainQueue that they drain themselves.
//
// Waiting: the main thread never blocks on another thread. Completion::wait()
// and runOnMainQueueSync() on the main thread keep the main queue running
// through the installed pump (the Qt layer runs a local event loop); a
// blocking wait on the main thread while a main executor is installed and no
// pump is goes to the blocking-wait handler (a log line; an abort in debug
// builds), so such a wait is caught in testing.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
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

// Queues `task` to the main thread even when called there (it runs after the
// current event); inline with no executor installed.
void postToMainQueue(MainTask task);

// Runs `task` on the main thread and returns when it has run: inline on the
// main thread (or with no executor), else queued while the caller waits.
// False when the main queue dropped the task without running it.
bool runOnMainQueueSync(MainTask task);

// How the main thread waits: runs the main queue until `done` answers true.
using MainThreadPump = std::function<void(const std::function<bool()>& done)>;
void setMainThreadPump(MainThreadPump pump);

// A one-shot signal between threads; copies share one state.
class Completion {
public:
    Completion();
    void signal();
    bool done() const;
    // Returns once signal() has been called. On the main thread the main
    // queue keeps running meanwhile (see the top of this file).
    void wait();

private:
    struct State {
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
    };
    std::shared_ptr<State> state_;
};

// Called before the calling thread blocks on another thread. On the main
// thread, with a main executor installed, the handler runs with `what`.
void checkBlockingWait(const char* what);
using BlockingWaitHandler = std::function<void(const char* what)>;
// Empty: the default handler (log; abort in builds without NDEBUG).
void setBlockingWaitHandler(BlockingWaitHandler handler);

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
