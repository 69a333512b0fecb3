#include "core/fast_paths.h"

#include <atomic>

namespace dvk {

namespace {
std::atomic<bool> enabled{true};
}

bool fast_paths_enabled() { return enabled.load(std::memory_order_relaxed); }
void set_fast_paths_enabled(bool on) { enabled.store(on, std::memory_order_relaxed); }

}  // namespace dvk
