// Small probes run before a file is read or written.
#include <sys/stat.h>

#include <cstdio>

#include "core/dvklib.h"

namespace dvk {

int file_exists(const char* path) {
    if (!path) return 0;
    FILE* f = std::fopen(path, "r");
    if (!f) return 0;
    std::fclose(f);
    return 1;
}

int file_writable_state(const char* path) {
    if (!path) return 0;
    if (FILE* f = std::fopen(path, "r+")) {
        std::fclose(f);
        return 2;
    }
    // Only a path where nothing exists yet may be created (and removed again):
    // an existing file that cannot be opened for update (a write-only file,
    // say) must not be truncated and deleted by the probe.
    struct stat st;
    if (lstat(path, &st) == 0) return 0;
    if (FILE* f = std::fopen(path, "w")) {
        std::fclose(f);
        std::remove(path);
        return 1;
    }
    return 0;
}

}  // namespace dvk
