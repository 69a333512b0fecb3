// The row of a built-in profile in the generated table, by name (-1: none).
#pragma once

#include <cstring>

#include "colour/builtin_profiles.h"

namespace dvk::test {

inline int builtin_index_of(const char* name) {
    for (unsigned i = 0; i < kBuiltinProfileCount; ++i)
        if (std::strcmp(builtin_profiles[i].name, name) == 0) return int(i);
    return -1;
}

}  // namespace dvk::test
