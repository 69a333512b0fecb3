// Unsharp masks: the mosaic channel mask before demosaicing and the Lab
// lightness mask with its mid-tone weight; L sharpening and the plain blur.
#include <cstdio>
#include <vector>

#include "pipeline/stages/box_blur.h"
#include "pipeline/stages/detail_stages.h"
#include "pipeline/stages/stage_support.h"
#include "pipeline/vector_math.h"

namespace dvk {

namespace {

constexpr double kPositiveShare = 0.42857142857142855;  // 3/7 of a brightening step

inline float unsharp_value(float v, float blurred, double weight) {
    const double d = (static_cast<double>(v) - blurred) * weight;
    return static_cast<float>(v + (d > 0 ? d * kPositiveShare : d));
}

// Full strength at L 52.9, none at L 5.8 and from L 100 up.
inline double lightness_weight(float L) {
    const double t = (2.0 * (L - 5.8) / 0.942) / 100.0 - 1.0;
    const double w = 1.0 - t * t;
    return w < 0 ? 0.0 : (w > 1 ? 1.0 : w);
}

// The unsharp mask of one row of `channels`-float pixels (strided samples).
template <int Channels, bool LightnessWeight>
void unsharp_row(float* p, const float* blurred, unsigned width, double amount) {
    for (unsigned x = 0; x < width; ++x) {
        const float v = p[static_cast<std::size_t>(x) * Channels];
        const double weight = LightnessWeight ? amount * lightness_weight(v) : amount;
        p[static_cast<std::size_t>(x) * Channels] = unsharp_value(v, blurred[x], weight);
    }
}

// The unsharp mask of n contiguous samples.
DVK_SIMD_CLONES void unsharp_samples(float* __restrict p, const float* __restrict blurred, std::size_t n,
                                     double amount) {
    for (std::size_t i = 0; i < n; ++i) p[i] = unsharp_value(p[i], blurred[i], amount);
}

void report(const char* who, unsigned width, unsigned height) {
    std::fprintf(stderr, "Can't allocate %lu bytes in %s\n",
                 static_cast<unsigned long>(width) * height * 4, who);
}

}  // namespace

void rgbg_unsharp_channel(DVKLib* d, float* image, unsigned width, unsigned height, unsigned radius, int channel,
                          double amount) {
    if (!image || width == 0 || height == 0) return;
    const double divisor = mosaic_form(d) ? radius + 1.0 : 2.0 * radius + 1.0;
    const bool ok = box_blur_rows(image, 4, channel, 1, width, height, radius, divisor,
                                  [&](unsigned row, const float* blurred) {
                                      unsharp_row<4, false>(image + static_cast<std::size_t>(row) * width * 4 + channel,
                                                            blurred, width, amount);
                                  });
    if (!ok) report("rgbg_unsharp_channel", width, height);
}

void rgbg_unsharp_channels(DVKLib* d, float* const* rows, unsigned width, unsigned height, unsigned radius,
                           double amount) {
    if (!rows || width == 0 || height == 0) return;
    const double divisor = mosaic_form(d) ? radius + 1.0 : 2.0 * radius + 1.0;
    const std::size_t n = static_cast<std::size_t>(width) * 4;
    const bool ok = box_blur_rows(rows, 4, 0, 4, width, height, radius, divisor, [&](unsigned row, const float* blurred) {
        unsharp_samples(rows[row], blurred, n, amount);
    });
    if (!ok) report("rgbg_unsharp_channels", width, height);
}

void rgbg_unsharp_channels(DVKLib* d, float* image, unsigned width, unsigned height, unsigned radius, double amount) {
    if (!image || width == 0 || height == 0) return;
    const std::vector<float*> rows = contiguous_rows(image, width, height, 4);
    rgbg_unsharp_channels(d, rows.data(), width, height, radius, amount);
}

void rgb_unsharp_channel(float* image, unsigned width, unsigned height, unsigned radius, int channel, double amount) {
    if (!image || width == 0 || height == 0) return;
    const bool ok = box_blur_rows(image, 3, channel, 1, width, height, radius, 2.0 * radius + 1.0,
                                  [&](unsigned row, const float* blurred) {
                                      unsharp_row<3, true>(image + static_cast<std::size_t>(row) * width * 3 + channel,
                                                           blurred, width, amount);
                                  });
    if (!ok) report("rgb_unsharp_channel", width, height);
}

void blur_channel(float* image, unsigned width, unsigned height, unsigned radius, int channel) {
    if (!image || width == 0 || height == 0) return;
    const bool ok = box_blur_rows(image, 3, channel, 1, width, height, radius, 2.0 * radius + 1.0,
                                  [&](unsigned row, const float* blurred) {
                                      float* p = image + static_cast<std::size_t>(row) * width * 3 + channel;
                                      for (unsigned x = 0; x < width; ++x) p[x * 3] = blurred[x];
                                  });
    if (!ok)
        std::fprintf(stderr, "Can't allocate %lu bytes in blur\n", static_cast<unsigned long>(width) * height * 4);
}

namespace {

// The L mask of a Lab image (rows of three floats a pixel).
void unsharp_l(float* const* rows, unsigned width, unsigned height, unsigned radius, double amount) {
    const bool ok = box_blur_rows(rows, 3, 0, 1, width, height, radius, 2.0 * radius + 1.0,
                                  [&](unsigned row, const float* blurred) {
                                      unsharp_row<3, true>(rows[row], blurred, width, amount);
                                  });
    if (!ok) report("rgb_unsharp_channel", width, height);
}

}  // namespace

void sharpen_l_channel(DVKLib* d, float* const* rows, unsigned width, unsigned height, int enabled, float sharpness,
                       float baseRadius) {
    if (!(sharpness > 0) || !enabled || !rows || width == 0 || height == 0) return;
    const double amount = sharpness / 18.0;
    unsharp_l(rows, width, height, static_cast<unsigned>(static_cast<int>(baseRadius)), amount);
    unsharp_l(rows, width, height, static_cast<unsigned>(static_cast<int>(baseRadius + 1)), amount);
}

void sharpen_l_channel(DVKLib* d, float* lab, unsigned width, unsigned height, int enabled, float sharpness,
                       float baseRadius) {
    if (!(sharpness > 0) || !enabled || !lab || width == 0 || height == 0) return;
    const std::vector<float*> rows = contiguous_rows(lab, width, height, 3);
    sharpen_l_channel(d, rows.data(), width, height, enabled, sharpness, baseRadius);
}

void blur_ab_and_sharpen_l(DVKLib* d, float* const* rows, unsigned width, unsigned height, int blurAB, int enabled,
                           float sharpness, float baseRadius) {
    if (!rows || width == 0 || height == 0) return;
    const bool sharpen = sharpness > 0 && enabled;
    if (!blurAB || !sharpen || static_cast<int>(baseRadius) != 1) {
        blur_ab_channels(d, rows, width, height, blurAB);
        sharpen_l_channel(d, rows, width, height, enabled, sharpness, baseRadius);
        return;
    }
    // The a and b blurs and the first L mask share their radius and divisor,
    // and each channel's blur reads that channel alone: one pass does all
    // three, then the second L mask follows.
    const double amount = sharpness / 18.0;
    const bool ok = box_blur_rows(rows, 3, 0, 3, width, height, 1, 3.0, [&](unsigned row, const float* blurred) {
        float* p = rows[row];
        for (unsigned x = 0; x < width; ++x) {
            const float L = p[3 * x];
            p[3 * x] = unsharp_value(L, blurred[3 * x], amount * lightness_weight(L));
            p[3 * x + 1] = blurred[3 * x + 1];
            p[3 * x + 2] = blurred[3 * x + 2];
        }
    });
    if (!ok) {
        report("blur_ab_and_sharpen_l", width, height);
        return;
    }
    unsharp_l(rows, width, height, static_cast<unsigned>(static_cast<int>(baseRadius + 1)), amount);
}

void blur_ab_and_sharpen_l(DVKLib* d, float* lab, unsigned width, unsigned height, int blurAB, int enabled,
                           float sharpness, float baseRadius) {
    if (!lab || width == 0 || height == 0) return;
    const std::vector<float*> rows = contiguous_rows(lab, width, height, 3);
    blur_ab_and_sharpen_l(d, rows.data(), width, height, blurAB, enabled, sharpness, baseRadius);
}

}  // namespace dvk
