// The threads of the controller's roads (open, save, batch): each road runs
// on a thread of its own, owned here. Finished threads are joined as new ones
// start; the destructor waits for every thread still running. A wait on the
// main thread keeps the main queue running, so a road that hops to the main
// thread on its way out still ends.
#pragma once

#include <functional>
#include <list>
#include <mutex>
#include <thread>

#include "platform/dispatch.h"

namespace dvk {

class RoadThreads {
public:
    RoadThreads() = default;
    ~RoadThreads();
    RoadThreads(const RoadThreads&) = delete;
    RoadThreads& operator=(const RoadThreads&) = delete;

    // Runs `work` on a new thread; false (after logging) when none can be made.
    bool start(std::function<void()> work);
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

    mutable std::mutex mutex_;
    std::list<Worker> workers_;
};

}  // namespace dvk
