// LibRaw 0.21 renamed the frame selector (params.shot_select became
// rawparams.shot_select) and added adjust_to_raw_inset_crop; Debian 12 ships
// 0.20. Both spellings are handled here and nowhere else.
#include "pipeline/libraw_dvk.h"

#include <cmath>

namespace dvk {

#if LIBRAW_VERSION >= LIBRAW_MAKE_VERSION(0, 21, 0)

void set_shot_select(LibRaw& raw, unsigned shot) { raw.imgdata.rawparams.shot_select = shot; }

int adjust_to_raw_inset_crop(LibRaw& raw, unsigned mask, float maxcrop) {
    return raw.adjust_to_raw_inset_crop(mask, maxcrop);
}

#else

void set_shot_select(LibRaw& raw, unsigned shot) { raw.imgdata.params.shot_select = shot; }

// The 0.21 routine over the single inset crop that 0.20 records: returns the
// index of the crop applied (0) or -1 when none fits.
int adjust_to_raw_inset_crop(LibRaw& raw, unsigned mask, float maxcrop) {
    if (!(mask & 1)) return -1;
    libraw_image_sizes_t& S = raw.imgdata.sizes;
    const libraw_raw_inset_crop_t& crop = S.raw_inset_crop;
    const int limwidth = static_cast<int>(S.width * maxcrop);
    const int limheight = static_cast<int>(S.height * maxcrop);
    if (crop.ctop >= 0xffff || crop.cleft >= 0xffff) return -1;
    if (crop.cleft + crop.cwidth > S.raw_width || crop.ctop + crop.cheight > S.raw_height) return -1;
    if (static_cast<int>(crop.cwidth) < limwidth || static_cast<int>(crop.cheight) < limheight) return -1;
    S.left_margin = crop.cleft;
    S.top_margin = crop.ctop;
    S.width = crop.cwidth;
    S.height = crop.cheight;
    return 0;
}

#endif

}  // namespace dvk
