#include "app/display_conversion.h"

#include <algorithm>

#include "app/display_image.h"
#include "pipeline/band_runner.h"
#include "pipeline/dvklib.h"
#include "platform/log.h"

namespace dvk {

DisplayConverter::DisplayConverter() { screen_ = cmsCreate_sRGBProfile(); }

DisplayConverter::~DisplayConverter() {
    dropTransform();
    if (screen_) cmsCloseProfile(screen_);
}

void DisplayConverter::dropTransform() {
    if (transform_) cmsDeleteTransform(transform_);
    transform_ = nullptr;
    cachedValid_ = false;
    cachedSource_.clear();
}

bool DisplayConverter::setScreenProfile(const std::vector<std::uint8_t>& icc) {
    std::lock_guard<std::mutex> lock(mutex_);
    cmsHPROFILE p = icc.empty() ? cmsCreate_sRGBProfile()
                                : cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
    if (p && cmsGetColorSpace(p) != cmsSigRgbData) {
        cmsCloseProfile(p);
        p = nullptr;
    }
    if (!p) return false;
    dropTransform();
    if (screen_) cmsCloseProfile(screen_);
    screen_ = p;
    screenBytes_ = icc;
    return true;
}

cmsHTRANSFORM DisplayConverter::transformFor(const std::vector<std::uint8_t>& source) {
    if (cachedValid_ && cachedSource_ == source) return transform_;
    dropTransform();
    cmsHPROFILE src = source.empty()
                          ? cmsCreate_sRGBProfile()
                          : cmsOpenProfileFromMem(source.data(), static_cast<cmsUInt32Number>(source.size()));
    if (src && cmsGetColorSpace(src) == cmsSigRgbData && screen_)
        transform_ = cmsCreateTransform(src, TYPE_RGB_16, screen_, TYPE_BGRA_8, INTENT_PERCEPTUAL,
                                        cmsFLAGS_NOCACHE | cmsFLAGS_BLACKPOINTCOMPENSATION);
    if (src) cmsCloseProfile(src);
    if (!transform_) log_line("No display transform for a profile of %zu bytes", source.size());
    cachedSource_ = source;
    cachedValid_ = true;
    return transform_;
}

bool DisplayConverter::convert(const DisplayImage& image, std::uint32_t* out, std::size_t stride) {
    if (!image.pixels || !out) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    cmsHTRANSFORM t = transformFor(image.profile);
    const unsigned w = image.width;
    run_row_chunks(image.height, band_thread_count > 0 ? band_thread_count : 1, [&](unsigned first, unsigned count) {
        for (unsigned y = first; y < first + count; ++y) {
            std::uint32_t* row = out + static_cast<std::size_t>(y) * stride;
            // The alpha byte is not written by the transform.
            std::fill(row, row + w, 0xFF000000u);
            const std::uint16_t* src = image.row(y);
            if (t) {
                cmsDoTransform(t, src, row, w);
            } else {
                for (unsigned x = 0; x < w; ++x)
                    row[x] = 0xFF000000u | (std::uint32_t(src[3 * x] >> 8) << 16) |
                             (std::uint32_t(src[3 * x + 1] >> 8) << 8) | std::uint32_t(src[3 * x + 2] >> 8);
            }
        }
    });
    return t != nullptr;
}

}  // namespace dvk
