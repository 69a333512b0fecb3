#include "app/desktop/tag_copy_threads.h"

#include <system_error>

#include "platform/log.h"

namespace dvk {

TagCopyThreads::~TagCopyThreads() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Worker& w : workers_) w.thread.join();
}

void TagCopyThreads::joinFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void TagCopyThreads::start(std::optional<TagCopyRequest> request, std::function<void()> finished) {
    if (!request) return;
    std::lock_guard<std::mutex> lock(mutex_);
    joinFinished();
    childs_.fetch_add(1, std::memory_order_seq_cst);
    auto done = std::make_shared<std::atomic<bool>>(false);
    try {
        workers_.push_back({std::thread([this, done, request = std::move(*request), finished] {
                                copyTagsCounted(request);
                                childs_.fetch_sub(1, std::memory_order_seq_cst);
                                if (finished) finished();
                                done->store(true);
                            }),
                            done});
    } catch (const std::system_error& e) {
        childs_.fetch_sub(1, std::memory_order_seq_cst);
        log_line("No thread for copying the tags into %s: %s", request->ofname.c_str(), e.what());
    }
}

}  // namespace dvk
