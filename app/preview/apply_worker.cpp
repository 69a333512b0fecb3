#include "app/preview/apply_worker.h"

#include "platform/dispatch.h"

namespace dvk {

ApplyWorker::ApplyWorker(Task begin, Task run, Task finish)
    : begin_(std::move(begin)), run_(std::move(run)), finish_(std::move(finish)) {
    thread_ = std::thread([this] { loop(); });
}

ApplyWorker::~ApplyWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void ApplyWorker::request(Task after) {
    if (after) nextAfter_.push_back(std::move(after));
    if (busy_ || flushing_) {
        pending_ = true;
        return;
    }
    start();
}

void ApplyWorker::start() {
    busy_ = true;
    running_ = true;
    pending_ = false;
    currentAfter_ = std::move(nextAfter_);
    nextAfter_.clear();
    if (begin_) begin_();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        go_ = true;
    }
    cv_.notify_all();
}

bool ApplyWorker::waitForRunToEnd(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, limit, [this] { return !inRun_; });
}

void ApplyWorker::whenIdle(Task task) {
    if (!busy_) {
        task();
        return;
    }
    idleTasks_.push_back(std::move(task));
}

void ApplyWorker::loop() {
    std::weak_ptr<int> alive = lifeToken_;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            cv_.wait(lock, [this] { return go_ || stop_; });
            if (stop_) return;
            go_ = false;
            inRun_ = true;
        }
        run_();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            inRun_ = false;
        }
        cv_.notify_all();
        runOnMainQueue([this, alive] {
            if (!alive.expired()) finished();
        });
    }
}

void ApplyWorker::finished() {
    ++runs_;
    running_ = false;
    finish_();
    std::vector<Task> after = std::move(currentAfter_);
    currentAfter_.clear();
    for (Task& t : after) t();
    // Changes held back during the run (runs they ask for wait until all of
    // them are made), then the run asked for meanwhile.
    busy_ = false;
    flushing_ = true;
    while (!idleTasks_.empty()) {
        Task t = std::move(idleTasks_.front());
        idleTasks_.pop_front();
        t();
    }
    flushing_ = false;
    if (pending_) start();
}

}  // namespace dvk
