#include "app/owned_threads.h"

namespace dvk {

OwnedThreads::~OwnedThreads() {
    stop_ = true;
    joinAll();
}

void OwnedThreads::start(std::function<void()> task) {
    std::lock_guard<std::mutex> lock(mutex_);
    joinFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back({std::thread([task = std::move(task), done] {
                            task();
                            *done = true;
                        }),
                        done});
}

void OwnedThreads::joinFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (*it->done) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void OwnedThreads::joinAll() {
    std::list<Worker> all;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        all.swap(workers_);
    }
    for (Worker& w : all)
        if (w.thread.joinable()) w.thread.join();
}

}  // namespace dvk
