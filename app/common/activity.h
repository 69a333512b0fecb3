// What the program is busy with: the launch work and every open, save,
// batch and tag copy. Each piece of work holds a token while it runs; the
// program is idle when the launch has finished and no token is held.
// whenIdle callbacks run once, queued to the main thread, when the program
// is (or next becomes) idle.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace dvk {

class ActivityTracker {
    struct State;

public:
    class Token {
    public:
        Token() = default;
        Token(Token&& other) noexcept;
        Token& operator=(Token&& other) noexcept;
        Token(const Token&) = delete;
        Token& operator=(const Token&) = delete;
        ~Token();
        // Ends the work now (the destructor then does nothing).
        void end();
        bool active() const { return state_ != nullptr; }

    private:
        friend class ActivityTracker;
        explicit Token(std::shared_ptr<State> state) : state_(std::move(state)) {}
        std::shared_ptr<State> state_;
    };

    ActivityTracker();
    // Any thread.
    Token begin();
    void launchFinished();
    bool isIdle() const;
    int running() const;
    void whenIdle(std::function<void()> callback);

private:
    struct State {
        std::mutex mutex;
        int running = 0;
        bool launched = false;
        std::vector<std::function<void()>> callbacks;
    };
    static void checkIdle(const std::shared_ptr<State>& state);
    std::shared_ptr<State> state_;
};

}  // namespace dvk
