// Developer aid: wall-clock times of the engine's steps on standard error.
//
// Set DVK_STAGE_TIMES=1 in the environment and every StageTimer prints
// "stage NAME: N.N ms" when it goes out of scope (or at lap()). Without the
// variable a timer costs one cached flag test.
#pragma once

#include <chrono>

namespace dvk {

bool stage_times_enabled();
void print_stage_time(const char* name, double milliseconds);

class StageTimer {
public:
    explicit StageTimer(const char* name) : name_(name), on_(stage_times_enabled()) {
        if (on_) start_ = std::chrono::steady_clock::now();
    }
    ~StageTimer() { lap(nullptr); }
    StageTimer(const StageTimer&) = delete;
    StageTimer& operator=(const StageTimer&) = delete;

    // Prints the time since the last lap (or the start) under `next`'s
    // predecessor name and starts timing `next`; nullptr ends the timer.
    void lap(const char* next) {
        if (!on_ || !name_) return;
        const auto now = std::chrono::steady_clock::now();
        print_stage_time(name_, std::chrono::duration<double, std::milli>(now - start_).count());
        name_ = next;
        start_ = now;
    }

private:
    const char* name_;
    bool on_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace dvk
