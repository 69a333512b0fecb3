// Threads owned by the object that starts them: each runs one task, finished
// ones are joined when the next one starts, the rest when this object goes.
// A task that must end early checks stopRequested() (set by the destructor).
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace dvk {

class OwnedThreads {
public:
    OwnedThreads() = default;
    // Asks the tasks to stop, then joins them.
    ~OwnedThreads();
    OwnedThreads(const OwnedThreads&) = delete;
    OwnedThreads& operator=(const OwnedThreads&) = delete;

    void start(std::function<void()> task);
    bool stopRequested() const { return stop_.load(); }
    // Tells the tasks to end early (the destructor does it too).
    void requestStop() { stop_ = true; }
    // Joins every thread (tests and tools; never on the main thread of the program).
    void joinAll();

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void joinFinished();  // mutex_ held

    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::list<Worker> workers_;
};

}  // namespace dvk
