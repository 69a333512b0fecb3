#include "app/common/main_queue_timer.h"

#include "platform/dispatch.h"

namespace dvk {

MainQueueTimer::~MainQueueTimer() { cancel(); }

void MainQueueTimer::start(std::chrono::milliseconds delay, std::function<void()> task) {
    cancel();
    auto shot = std::make_shared<Shot>();
    shot_ = shot;
    const auto due = std::chrono::steady_clock::now() + delay;
    thread_ = std::thread([shot, due, task = std::move(task)]() mutable {
        std::unique_lock<std::mutex> lock(shot->mutex);
        if (shot->cv.wait_until(lock, due, [&] { return shot->cancelled; })) return;
        lock.unlock();
        runOnMainQueue([shot, task = std::move(task)] {
            {
                std::lock_guard<std::mutex> guard(shot->mutex);
                if (shot->cancelled) return;
                shot->fired = true;
            }
            task();
        });
    });
}

void MainQueueTimer::cancel() {
    if (shot_) {
        {
            std::lock_guard<std::mutex> lock(shot_->mutex);
            shot_->cancelled = true;
        }
        shot_->cv.notify_all();
        shot_.reset();
    }
    // The thread only waits for its time or the cancel: it ends at once.
    // (With no main executor the task runs on the timer's own thread.)
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

bool MainQueueTimer::active() const {
    if (!shot_) return false;
    std::lock_guard<std::mutex> lock(shot_->mutex);
    return !shot_->cancelled && !shot_->fired;
}

}  // namespace dvk
