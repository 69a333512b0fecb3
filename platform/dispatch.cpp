#include "platform/dispatch.h"

#include <thread>

namespace dvk {

namespace {

std::mutex g_mutex;
std::thread::id g_main_thread = std::this_thread::get_id();
MainExecutor g_executor;

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
