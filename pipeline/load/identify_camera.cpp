// identify_camera: is this a raw file of a camera LibRaw knows?
#include <cstdio>

#include "pipeline/load/load_raw_file.h"
#include "pipeline/load/raw_probe.h"

namespace dvk {

int identify_camera(const char* path, char* out) {
    if (!path) return 1;
    // The first reading: by the probe program when one is in use.
    const RawIdentity id = identify_raw_file(path);
    if (!id.is_raw()) return 1;
    if (out) std::snprintf(out, 256, "%s", id.camera.c_str());
    return 0;
}

}  // namespace dvk
