#include "app/road_threads.h"

#include <system_error>

#include "platform/log.h"

namespace dvk {

RoadThreads::~RoadThreads() { joinAll(); }

void RoadThreads::joinFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done.done()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

bool RoadThreads::start(std::function<void()> work) {
    std::lock_guard<std::mutex> lock(mutex_);
    joinFinished();
    Completion done;
    try {
        std::thread thread([work = std::move(work), done]() mutable {
            work();
            work = nullptr;  // what the work held goes before the thread counts as ended
            done.signal();
        });
        workers_.push_back({std::move(thread), done});
    } catch (const std::system_error& e) {
        log_line("No thread for the road: %s", e.what());
        return false;
    }
    return true;
}

void RoadThreads::joinAll() {
    for (;;) {
        Completion next;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            joinFinished();
            if (workers_.empty()) return;
            next = workers_.front().done;
        }
        next.wait();
    }
}

int RoadThreads::running() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const Worker& w : workers_)
        if (!w.done.done()) ++n;
    return n;
}

}  // namespace dvk
