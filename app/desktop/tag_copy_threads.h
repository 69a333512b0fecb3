// The tag copies the controller starts after saves: each on a thread of its
// own, owned here and joined when this object goes (at the program's end).
//
// A copy is counted from the moment it is started, before its thread runs,
// so the end of a batch that waits for `childs()` to reach 0 never misses a
// copy that has been asked for but has not begun.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "app/desktop/exiftool.h"

namespace dvk {

class TagCopyThreads {
public:
    TagCopyThreads() = default;
    ~TagCopyThreads();
    TagCopyThreads(const TagCopyThreads&) = delete;
    TagCopyThreads& operator=(const TagCopyThreads&) = delete;

    // runExifToolToCopyTagsInThread on a new thread; no request, nothing done.
    // `finished` (may be empty) runs on that thread once the copy has ended
    // and is no longer counted.
    void start(std::optional<TagCopyRequest> request, std::function<void()> finished = {});
    // Copies started and not yet ended.
    int childs() const { return childs_.load(); }
    // The counter itself, for copies run on a thread of the caller's.
    std::atomic<int>& counter() { return childs_; }

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void joinFinished();  // mutex_ held

    std::atomic<int> childs_{0};
    std::mutex mutex_;
    std::list<Worker> workers_;
};

}  // namespace dvk
