// What the processor offers beyond the build's baseline, asked once, for
// loops that have a build of their own for it.
#pragma once

namespace dvk {

inline bool cpu_has_avx2() {
#if defined(__x86_64__)
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

}  // namespace dvk
