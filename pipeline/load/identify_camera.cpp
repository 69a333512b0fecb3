// identify_camera: is this a raw file of a camera LibRaw knows?
#include <libraw/libraw.h>

#include <cstdio>
#include <memory>
#include <new>

#include "core/dvklib.h"
#include "pipeline/load/load_raw_file.h"

namespace dvk {

int identify_camera(const char* path, char* out) {
    if (!path) return 1;
    std::unique_ptr<LibRaw_DVK> raw(new (std::nothrow) LibRaw_DVK());
    if (!raw) return 1;
    if (raw->open_file(path) != LIBRAW_SUCCESS || raw->imgdata.idata.raw_count == 0) return 1;
    if (out) std::snprintf(out, 256, "%s %s", raw->imgdata.idata.make, raw->imgdata.idata.model);
    return 0;
}

}  // namespace dvk
