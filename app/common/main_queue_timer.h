// A one-shot timer whose task runs on the main queue once its delay has
// passed, unless it is cancelled first. start() and cancel() are called on
// the main thread; a cancelled task never runs, even when its time had come
// and it was already queued.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace dvk {

class MainQueueTimer {
public:
    MainQueueTimer() = default;
    ~MainQueueTimer();
    MainQueueTimer(const MainQueueTimer&) = delete;
    MainQueueTimer& operator=(const MainQueueTimer&) = delete;

    // Cancels a running shot and starts a new one.
    void start(std::chrono::milliseconds delay, std::function<void()> task);
    void cancel();
    // A shot is running (started, neither fired nor cancelled).
    bool active() const;

private:
    struct Shot {
        std::mutex mutex;
        std::condition_variable cv;
        bool cancelled = false;
        bool fired = false;
    };
    std::shared_ptr<Shot> shot_;
    std::thread thread_;
};

}  // namespace dvk
