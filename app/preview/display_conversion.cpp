#include "app/preview/display_conversion.h"

#include <algorithm>

#include "app/preview/display_image.h"
#include "app/preview/display_interpolation.h"
#include "core/band_runner.h"
#include "core/dvklib.h"
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
    table_.clear();
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
        transform_ = cmsCreateTransform(src, TYPE_RGB_16, screen_, TYPE_RGB_16, INTENT_PERCEPTUAL,
                                        cmsFLAGS_NOCACHE | cmsFLAGS_BLACKPOINTCOMPENSATION);
    if (src) cmsCloseProfile(src);
    if (!transform_) {
        log_line("No display transform for a profile of %zu bytes", source.size());
    } else {
        // The table: the transform at every node.
        constexpr int n = kGrid;
        std::vector<std::uint16_t> nodes(static_cast<std::size_t>(n) * n * n * 3);
        std::size_t k = 0;
        for (int r = 0; r < n; ++r)
            for (int g = 0; g < n; ++g)
                for (int b = 0; b < n; ++b) {
                    nodes[k++] = static_cast<std::uint16_t>((r * 65535 + (n - 1) / 2) / (n - 1));
                    nodes[k++] = static_cast<std::uint16_t>((g * 65535 + (n - 1) / 2) / (n - 1));
                    nodes[k++] = static_cast<std::uint16_t>((b * 65535 + (n - 1) / 2) / (n - 1));
                }
        cmsDoTransform(transform_, nodes.data(), nodes.data(), static_cast<cmsUInt32Number>(n * n * n));
        table_.assign(static_cast<std::size_t>(n) * n * n * 4, 255.0f);
        for (std::size_t i = 0; i < static_cast<std::size_t>(n) * n * n; ++i)
            for (int c = 0; c < 3; ++c)
                table_[4 * i + 2 - c] = static_cast<float>(nodes[3 * i + c]) * (255.0f / 65535.0f);
    }
    cachedSource_ = source;
    cachedValid_ = true;
    return transform_;
}

bool DisplayConverter::convert(const DisplayImage& image, std::uint32_t* out, std::size_t stride) {
    if (!image.pixels || !out) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    const cmsHTRANSFORM t = transformFor(image.profile);
    const float* table = table_.empty() ? nullptr : table_.data();
    const unsigned w = image.width;
    run_row_chunks(image.height, band_thread_count > 0 ? band_thread_count : 1, [&](unsigned first, unsigned count) {
        for (unsigned y = first; y < first + count; ++y) {
            std::uint32_t* row = out + static_cast<std::size_t>(y) * stride;
            const std::uint16_t* src = image.row(y);
            if (table) {
                interpolateDisplayRow(table, src, row, w);
            } else {
                for (unsigned x = 0; x < w; ++x)
                    row[x] = 0xFF000000u | (std::uint32_t(src[3 * x] >> 8) << 16) |
                             (std::uint32_t(src[3 * x + 1] >> 8) << 8) | std::uint32_t(src[3 * x + 2] >> 8);
            }
        }
    });
    return t != nullptr;
}

bool DisplayConverter::convertExactly(const std::vector<std::uint8_t>& profile, const std::uint16_t in[3],
                                      std::uint8_t out[3]) {
    std::lock_guard<std::mutex> lock(mutex_);
    const cmsHTRANSFORM t = transformFor(profile);
    if (!t) return false;
    std::uint16_t o[3];
    cmsDoTransform(t, in, o, 1);
    for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>((o[c] * 255u + 32767u) / 65535u);
    return true;
}

}  // namespace dvk
