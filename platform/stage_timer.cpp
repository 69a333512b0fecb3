#include "platform/stage_timer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace dvk {

bool stage_times_enabled() {
    static const bool enabled = [] {
        const char* v = std::getenv("DVK_STAGE_TIMES");
        return v && *v && std::strcmp(v, "0") != 0;
    }();
    return enabled;
}

void print_stage_time(const char* name, double milliseconds) {
    std::fprintf(stderr, "stage %s: %.1f ms\n", name, milliseconds);
}

}  // namespace dvk
