// dvk-develop --info: load a raw file and describe what the loader found.
#pragma once

#include <cstdio>

namespace dvk {
struct DVKLib;
}

namespace dvk::develop {

// Loads `path` into `d` (half size when asked). On success prints the
// description to `out` and returns 0; on failure prints LibRaw's code and text
// to stderr and returns the code.
int load_and_describe(DVKLib* d, const char* path, bool half, FILE* out);

}  // namespace dvk::develop
