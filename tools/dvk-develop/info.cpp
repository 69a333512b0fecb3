#include "tools/dvk-develop/info.h"

#include <libraw/libraw.h>

#include "core/dvklib.h"
#include "pipeline/load/load_errors.h"
#include "pipeline/load/load_raw_file.h"
#include "tools/common/own_line.h"

namespace dvk::develop {

int load_and_describe(DVKLib* d, const char* path, bool half, FILE* out) {
    const int ret = load_raw_file(d, path, half ? 1 : 0);
    if (ret != 0) {
        tools::tool_print(stderr, "%s\n", load_error_text(path, ret).c_str());
        return ret;
    }
    const libraw_data_t& id = d->libraw->imgdata;
    tools::tool_print(out, "File: %s\n", path);
    std::fprintf(out, "Camera: %s %s\n", id.idata.make, id.idata.model);
    std::fprintf(out, "DNG: %s\n", id.rawdata.iparams.dng_version ? "yes" : "no");
    std::fprintf(out, "Raw size: %u x %u\n", id.rawdata.sizes.raw_width, id.rawdata.sizes.raw_height);
    std::fprintf(out, "Image size: %u x %u%s\n", id.sizes.iwidth, id.sizes.iheight, half ? " (half)" : "");
    std::fprintf(out, "Filters: 0x%08x\n", id.idata.filters);
    std::fprintf(out, "Colours: %d\n", id.idata.colors);
    std::fprintf(out, "Black, white: %u, %u\n", id.color.black, id.color.maximum);
    std::fprintf(out, "Normalisation: %.9g\n", d->norm_scale[0]);
    std::fprintf(out, "Channel peaks: %.6f %.6f %.6f %.6f\n", d->chan_max[0], d->chan_max[1], d->chan_max[2],
                 d->chan_max[3]);
    std::fprintf(out, "Auto white balance: %.6f %.6f %.6f %.6f\n", d->auto_wb[0], d->auto_wb[1], d->auto_wb[2],
                 d->auto_wb[3]);
    std::fprintf(out, "Auto white balance / G: %.6f 1 %.6f %.6f\n", d->auto_wb[0] / d->auto_wb[1],
                 d->auto_wb[2] / d->auto_wb[1], d->auto_wb[3] / d->auto_wb[1]);
    const float* mul = id.rawdata.color.cam_mul;
    std::fprintf(out, "As-shot multipliers: %.6f %.6f %.6f %.6f\n", mul[0], mul[1], mul[2], mul[3]);
    return 0;
}

}  // namespace dvk::develop
