#include "app/common/activity.h"

#include "platform/dispatch.h"

namespace dvk {

ActivityTracker::ActivityTracker() : state_(std::make_shared<State>()) {}

ActivityTracker::Token::Token(Token&& other) noexcept : state_(std::move(other.state_)) {}

ActivityTracker::Token& ActivityTracker::Token::operator=(Token&& other) noexcept {
    if (this != &other) {
        end();
        state_ = std::move(other.state_);
    }
    return *this;
}

ActivityTracker::Token::~Token() { end(); }

void ActivityTracker::Token::end() {
    if (!state_) return;
    std::shared_ptr<State> state = std::move(state_);
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        --state->running;
    }
    ActivityTracker::checkIdle(state);
}

ActivityTracker::Token ActivityTracker::begin() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    ++state_->running;
    return Token(state_);
}

void ActivityTracker::launchFinished() {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->launched = true;
    }
    checkIdle(state_);
}

bool ActivityTracker::isIdle() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->launched && state_->running == 0;
}

int ActivityTracker::running() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->running;
}

void ActivityTracker::whenIdle(std::function<void()> callback) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->callbacks.push_back(std::move(callback));
    }
    checkIdle(state_);
}

void ActivityTracker::checkIdle(const std::shared_ptr<State>& state) {
    std::vector<std::function<void()>> due;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        if (!state->launched || state->running != 0) return;
        due.swap(state->callbacks);
    }
    for (auto& callback : due) {
        // Work may have begun between now and the time the task runs (say,
        // queued by the launch itself): it then waits for the next idle time.
        postToMainQueue([state, callback = std::move(callback)]() mutable {
            bool idle;
            {
                std::lock_guard<std::mutex> lock(state->mutex);
                idle = state->launched && state->running == 0;
                if (!idle) state->callbacks.push_back(std::move(callback));
            }
            if (idle) callback();
        });
    }
}

}  // namespace dvk
