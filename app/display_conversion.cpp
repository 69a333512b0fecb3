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
        table_.resize(nodes.size());
        for (std::size_t i = 0; i < nodes.size(); ++i) table_[i] = static_cast<float>(nodes[i]) * (255.0f / 65535.0f);
    }
    cachedSource_ = source;
    cachedValid_ = true;
    return transform_;
}

namespace {

// Tetrahedral interpolation of one 16-bit pixel in a table of kGrid^3 nodes.
inline std::uint32_t interpolate(const float* t, const std::uint16_t* px) {
    constexpr int n = DisplayConverter::kGrid;
    constexpr float scale = static_cast<float>(n - 1) / 65535.0f;
    int i[3];
    float f[3];
    for (int c = 0; c < 3; ++c) {
        const float x = static_cast<float>(px[c]) * scale;
        int k = static_cast<int>(x);
        if (k > n - 2) k = n - 2;
        i[c] = k;
        f[c] = x - static_cast<float>(k);
    }
    constexpr std::ptrdiff_t sr = n * n * 3, sg = n * 3, sb = 3;
    const float* c000 = t + i[0] * sr + i[1] * sg + i[2] * sb;
    const float* c111 = c000 + sr + sg + sb;
    // The tetrahedron holding the point, by the order of the fractions: the
    // steps c000 -> a -> b -> c111 and their weights, looked up rather than
    // branched to (neighbouring pixels rarely share the order). Ties go as
    // in the comparison tree r >= g, then g >= b, then r >= b.
    struct Tetrahedron {
        std::ptrdiff_t a, b;
        unsigned char w0, w1, w2;  // fractions (0 r, 1 g, 2 b) weighting the three steps
    };
    static constexpr Tetrahedron kTetrahedra[8] = {
        {sb, sg + sb, 2, 1, 0},  // b > g > r
        {sg, sr + sg, 1, 0, 2},  // g > r >= b
        {sg, sg + sb, 1, 2, 0},  // g >= b > r
        {sg, sr + sg, 1, 0, 2},  // g > r >= b
        {sb, sr + sb, 2, 0, 1},  // b > r >= g
        {sr, sr + sb, 0, 2, 1},  // r >= b > g
        {sr, sr + sg, 0, 1, 2},  // r >= g >= b
        {sr, sr + sg, 0, 1, 2},  // r >= g >= b
    };
    const int code = (f[0] >= f[1]) << 2 | (f[1] >= f[2]) << 1 | (f[0] >= f[2]);
    const Tetrahedron& k = kTetrahedra[code];
    const float* a = c000 + k.a;
    const float* b = c000 + k.b;
    const float w0 = f[k.w0], w1 = f[k.w1], w2 = f[k.w2];
    std::uint32_t out = 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
        const float v = c000[c] + w0 * (a[c] - c000[c]) + w1 * (b[c] - a[c]) + w2 * (c111[c] - b[c]);
        const int q = static_cast<int>(v + 0.5f);
        out |= static_cast<std::uint32_t>(q < 0 ? 0 : q > 255 ? 255 : q) << (16 - 8 * c);
    }
    return out;
}

}  // namespace

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
                for (unsigned x = 0; x < w; ++x) row[x] = interpolate(table, src + 3 * x);
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
