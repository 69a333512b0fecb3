#include "app/common/owned_threads.h"

#include <system_error>

#include "platform/log.h"

namespace dvk {

OwnedThreads::~OwnedThreads() {
    stop_ = true;
    joinAll();
}

void OwnedThreads::joinFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done.done()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

bool OwnedThreads::start(std::function<void()> task) {
    std::lock_guard<std::mutex> lock(mutex_);
    joinFinished();
    Completion done;
    try {
        std::thread thread([task = std::move(task), done]() mutable {
            task();
            task = nullptr;  // what the task held goes before the thread counts as ended
            done.signal();
        });
        workers_.push_back({std::move(thread), done});
    } catch (const std::system_error& e) {
        log_line("No thread for the task: %s", e.what());
        return false;
    }
    return true;
}

void OwnedThreads::joinAll() {
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

int OwnedThreads::running() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const Worker& w : workers_)
        if (!w.done.done()) ++n;
    return n;
}

}  // namespace dvk
