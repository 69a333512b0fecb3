#include "platform/stage_timer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace dvk {

bool stage_times_enabled() {
    static const bool enabled = [] {
        const char* v = std::getenv("DVK_STAGE_TIMES");
        return v && *v && std::strcmp(v, "0") != 0;
    }();
    return enabled;
}

void print_stage_time(const char* name, double milliseconds, double cpu_milliseconds) {
    std::fprintf(stderr, "stage %s: %.1f ms (cpu %.1f ms)\n", name, milliseconds, cpu_milliseconds);
}

double process_cpu_milliseconds() {
    timespec t{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

}  // namespace dvk
