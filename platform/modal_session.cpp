#include "platform/modal_session.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/dispatch.h"

namespace dvk {

namespace {

std::mutex g_mutex;
int g_open = 0;
std::vector<std::function<void()>> g_waiting;
std::function<void()> g_dismisser;
std::atomic<bool> g_dismissed{false};

}  // namespace

ModalSession::ModalSession() {
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_open;
}

ModalSession::~ModalSession() {
    std::vector<std::function<void()>> due;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (--g_open > 0) return;
        due.swap(g_waiting);
    }
    for (auto& task : due) postToMainQueue(std::move(task));
}

bool modalSessionOpen() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_open > 0;
}

void whenNoModalSession(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_open > 0) {
            g_waiting.push_back(std::move(task));
            return;
        }
    }
    task();
}

void setModalDismisser(std::function<void()> dismisser) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_dismisser = std::move(dismisser);
}

void dismissModalSessions() {
    g_dismissed = true;
    std::function<void()> dismisser;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        dismisser = g_dismisser;
    }
    if (dismisser) dismisser();
}

bool modalSessionsDismissed() { return g_dismissed.load(); }

void resumeModalSessions() { g_dismissed = false; }

}  // namespace dvk
