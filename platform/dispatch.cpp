#include "platform/dispatch.h"

#include <atomic>
#include <cassert>
#include <cstdlib>
#include <thread>

#include "platform/log.h"

namespace dvk {

namespace {

std::mutex g_mutex;
std::thread::id g_main_thread = std::this_thread::get_id();
MainExecutor g_executor;
MainThreadPump g_pump;
BlockingWaitHandler g_blocking_handler;

void default_blocking_wait(const char* what) {
    log_line("Blocking wait on the main thread: %s", what ? what : "");
#ifndef NDEBUG
    std::abort();
#endif
}

}  // namespace

void markMainThread() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_main_thread = std::this_thread::get_id();
}

bool isMainThread() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return std::this_thread::get_id() == g_main_thread;
}

void setMainExecutor(MainExecutor executor) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_executor = std::move(executor);
}

MainExecutor inlineMainExecutor() {
    return [](MainTask task) {
        if (task) task();
    };
}

void runOnMainQueue(MainTask task) {
    if (!task) return;
    MainExecutor executor;
    bool on_main;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        on_main = std::this_thread::get_id() == g_main_thread;
        if (!on_main) executor = g_executor;
    }
    if (on_main || !executor) {
        task();
        return;
    }
    executor(std::move(task));
}

void postToMainQueue(MainTask task) {
    if (!task) return;
    MainExecutor executor;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        executor = g_executor;
    }
    if (!executor) {
        task();
        return;
    }
    executor(std::move(task));
}

void setMainThreadPump(MainThreadPump pump) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_pump = std::move(pump);
}

void setBlockingWaitHandler(BlockingWaitHandler handler) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_blocking_handler = std::move(handler);
}

void checkBlockingWait(const char* what) {
    BlockingWaitHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (std::this_thread::get_id() != g_main_thread || !g_executor) return;
        handler = g_blocking_handler;
    }
    if (handler)
        handler(what);
    else
        default_blocking_wait(what);
}

Completion::Completion() : state_(std::make_shared<State>()) {}

void Completion::signal() {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->done = true;
    }
    state_->cv.notify_all();
    // A main thread waiting in the pump sleeps until an event comes: post one.
    bool wake;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        wake = g_pump && g_executor && std::this_thread::get_id() != g_main_thread;
    }
    if (wake) runOnMainQueue([] {});
}

bool Completion::done() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->done;
}

void Completion::wait() {
    MainThreadPump pump;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (std::this_thread::get_id() == g_main_thread) pump = g_pump;
    }
    if (pump) {
        pump([this] { return done(); });
        return;
    }
    if (!done()) checkBlockingWait("Completion::wait");
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->cv.wait(lock, [this] { return state_->done; });
}

namespace {

// Signals its completion when the queued task is destroyed, whether it ran
// or the queue dropped it.
struct SignalOnDestroy {
    explicit SignalOnDestroy(Completion c) : completion(std::move(c)) {}
    SignalOnDestroy(const SignalOnDestroy&) = delete;
    SignalOnDestroy& operator=(const SignalOnDestroy&) = delete;
    ~SignalOnDestroy() { completion.signal(); }
    Completion completion;
};

}  // namespace

bool runOnMainQueueSync(MainTask task) {
    if (!task) return true;
    bool inline_here;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        inline_here = std::this_thread::get_id() == g_main_thread || !g_executor;
    }
    if (inline_here) {
        task();
        return true;
    }
    Completion completion;
    auto ran = std::make_shared<std::atomic<bool>>(false);
    auto guard = std::make_shared<SignalOnDestroy>(completion);
    runOnMainQueue([task = std::move(task), guard, ran]() {
        task();
        ran->store(true);
    });
    guard.reset();
    completion.wait();
    return ran->load();
}

MainExecutor ManualMainQueue::executor() {
    return [this](MainTask task) {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
    };
}

int ManualMainQueue::drain() {
    int ran = 0;
    for (;;) {
        MainTask task;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (tasks_.empty()) return ran;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
        ++ran;
    }
}

std::size_t ManualMainQueue::pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tasks_.size();
}

}  // namespace dvk
