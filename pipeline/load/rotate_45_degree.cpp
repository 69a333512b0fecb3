// rotate_45_degree: sensors laid out at 45 degrees are stored diagonally; this
// resamples the image onto an upright grid (bilinear).
#include "core/image_view.h"
#include "pipeline/load/raw_loader.h"

namespace dvk {

bool rotate_45_degree(DVKLib* d) {
    LibRaw_DVK& raw = *d->libraw;
    ushort& fuji_width = raw.imgdata.rawdata.ioparams.fuji_width;
    if (!fuji_width || !d->image_data()) return true;
    const unsigned shrink = raw.imgdata.rawdata.ioparams.shrink;
    const int iw = raw.imgdata.sizes.iwidth, ih = raw.imgdata.sizes.iheight;

    const int fw = (fuji_width + int(shrink) - 1) >> shrink;
    fuji_width = static_cast<ushort>(fw);
    const float step = 0.70710677f;
    const int wide = static_cast<int>(float(fw) / step);
    const int high = static_cast<int>(float(ih - fw) / step);
    if (wide <= 0 || high <= 0 || wide > 0xffff || high > 0xffff) return true;  // nothing sensible to turn

    const std::size_t pixels = std::size_t(wide) * std::size_t(high);
    AlignedBuffer<float> out = allocate_aligned_zeroed<float>(pixels * 4);
    if (!out) return false;

    RgbgView src(d->image_data(), std::size_t(iw), std::size_t(ih));
    RgbgView dst(out.get(), std::size_t(wide), std::size_t(high));
    for (int row = 0; row < high; ++row) {
        for (int col = 0; col < wide; ++col) {
            const float r = float(fw) + float(row - col) * step;
            const float c = float(row + col) * step;
            const int ur = static_cast<int>(r), uc = static_cast<int>(c);
            if (ur < 0 || ur > ih - 2 || uc > iw - 2) continue;
            const float fr = r - float(ur), fc = c - float(uc);
            const float* p00 = src.at(std::size_t(uc), std::size_t(ur));
            const float* p01 = src.at(std::size_t(uc + 1), std::size_t(ur));
            const float* p10 = src.at(std::size_t(uc), std::size_t(ur + 1));
            const float* p11 = src.at(std::size_t(uc + 1), std::size_t(ur + 1));
            float* o = dst.at(std::size_t(col), std::size_t(row));
            for (int k = 0; k < 4; ++k)
                o[k] = (p00[k] * (1 - fc) + p01[k] * fc) * (1 - fr) + (p10[k] * (1 - fc) + p11[k] * fc) * fr;
        }
    }

    raw.imgdata.sizes.width = raw.imgdata.sizes.iwidth = static_cast<ushort>(wide);
    raw.imgdata.sizes.height = raw.imgdata.sizes.iheight = static_cast<ushort>(high);
    fuji_width = 0;
    set_image(d, std::move(out), pixels * 4 * sizeof(float));
    return true;
}

}  // namespace dvk
