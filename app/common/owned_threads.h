// Threads owned by the object that starts them: each runs one task, finished
// ones are joined as new ones start, the rest when this object goes. A task
// that must end early checks stopRequested() (set by requestStop() and the
// destructor). A wait on the main thread keeps the main queue running, so a
// task that hops to the main thread on its way out still ends.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

#include "platform/dispatch.h"

namespace dvk {

class OwnedThreads {
public:
    OwnedThreads() = default;
    // Asks the tasks to stop, then joins them.
    ~OwnedThreads();
    OwnedThreads(const OwnedThreads&) = delete;
    OwnedThreads& operator=(const OwnedThreads&) = delete;

    // Runs `task` on a new thread; false (after logging) when none can be made.
    bool start(std::function<void()> task);
    bool stopRequested() const { return stop_.load(); }
    // Tells the tasks to end early (the destructor does it too).
    void requestStop() { stop_ = true; }
    // Waits until every thread, also those started meanwhile, has ended.
    void joinAll();
    // Threads started and not yet ended.
    int running() const;

private:
    struct Worker {
        std::thread thread;
        Completion done;
    };
    void joinFinished();  // mutex_ held

    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::list<Worker> workers_;
};

}  // namespace dvk
