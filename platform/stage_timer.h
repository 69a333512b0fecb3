// Developer aid: wall-clock times of the engine's steps on standard error.
//
// Set DVK_STAGE_TIMES=1 in the environment and every StageTimer prints
// "stage NAME: N.N ms (cpu M.M ms)" when it goes out of scope (or at lap()):
// the wall time, then the processor time of the whole process (all threads)
// over the same span, which a busy machine disturbs far less. Without the
// variable a timer costs one cached flag test.
#pragma once

#include <chrono>

namespace dvk {

bool stage_times_enabled();
void print_stage_time(const char* name, double milliseconds, double cpu_milliseconds);
// Processor time used so far by every thread of the process, in milliseconds.
double process_cpu_milliseconds();

class StageTimer {
public:
    explicit StageTimer(const char* name) : name_(name), on_(stage_times_enabled()) {
        if (on_) {
            start_ = std::chrono::steady_clock::now();
            cpu_start_ = process_cpu_milliseconds();
        }
    }
    ~StageTimer() { lap(nullptr); }
    StageTimer(const StageTimer&) = delete;
    StageTimer& operator=(const StageTimer&) = delete;

    // Prints the time since the last lap (or the start) under `next`'s
    // predecessor name and starts timing `next`; nullptr ends the timer.
    void lap(const char* next) {
        if (!on_ || !name_) return;
        const auto now = std::chrono::steady_clock::now();
        const double cpu = process_cpu_milliseconds();
        print_stage_time(name_, std::chrono::duration<double, std::milli>(now - start_).count(), cpu - cpu_start_);
        name_ = next;
        start_ = now;
        cpu_start_ = cpu;
    }

private:
    const char* name_;
    bool on_;
    std::chrono::steady_clock::time_point start_;
    double cpu_start_ = 0;
};

}  // namespace dvk
