// LibRaw 0.21 renamed the frame selector (params.shot_select became
// rawparams.shot_select) and added adjust_to_raw_inset_crop; Debian 12 ships
// 0.20. Both spellings are handled here and nowhere else.
#include "core/libraw_dvk.h"

#include <algorithm>

namespace dvk {

#if LIBRAW_VERSION >= LIBRAW_MAKE_VERSION(0, 21, 0)

void set_shot_select(LibRaw& raw, unsigned shot) { raw.imgdata.rawparams.shot_select = shot; }

void set_max_raw_memory_mb(LibRaw& raw, unsigned megabytes) { raw.imgdata.rawparams.max_raw_memory_mb = megabytes; }

void copy_decode_options(LibRaw& to, const LibRaw& from) {
    to.imgdata.params = from.imgdata.params;
    to.imgdata.rawparams = from.imgdata.rawparams;
}

int adjust_to_raw_inset_crop(LibRaw& raw, unsigned mask, float maxcrop) {
    return raw.adjust_to_raw_inset_crop(mask, maxcrop);
}

#else

void set_shot_select(LibRaw& raw, unsigned shot) { raw.imgdata.params.shot_select = shot; }

void set_max_raw_memory_mb(LibRaw& raw, unsigned megabytes) { raw.imgdata.params.max_raw_memory_mb = megabytes; }

void copy_decode_options(LibRaw& to, const LibRaw& from) { to.imgdata.params = from.imgdata.params; }

// The 0.21 routine over the single inset crop that 0.20 records.
int adjust_to_raw_inset_crop(LibRaw& raw, unsigned mask, float maxcrop) {
    if (!(mask & 1)) return 0;
    libraw_image_sizes_t& S = raw.imgdata.sizes;
    libraw_image_sizes_t& RS = raw.imgdata.rawdata.sizes;
    const libraw_raw_inset_crop_t& crop = S.raw_inset_crop;
    const int limwidth = static_cast<int>(S.width * maxcrop);
    const int limheight = static_cast<int>(S.height * maxcrop);
    if (crop.ctop >= 0xffff || crop.cleft >= 0xffff) return 0;
    if (crop.cleft + crop.cwidth > S.raw_width || crop.ctop + crop.cheight > S.raw_height) return 0;
    if (static_cast<int>(crop.cwidth) < limwidth || static_cast<int>(crop.cheight) < limheight) return 0;
    const ushort width = static_cast<ushort>(std::min<int>(crop.cwidth, int(S.raw_width) - int(crop.cleft)));
    const ushort height = static_cast<ushort>(std::min<int>(crop.cheight, int(S.raw_height) - int(crop.ctop)));
    RS.left_margin = S.left_margin = crop.cleft;
    RS.top_margin = S.top_margin = crop.ctop;
    RS.width = S.width = width;
    RS.height = S.height = height;
    return 1;
}

#endif

}  // namespace dvk
