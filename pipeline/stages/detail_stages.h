// Detail stages over one separable running-sum box blur: mosaic and Lab
// unsharp masks, chroma blur, L sharpening and local contrast. Each works in
// place on the band it is given, as a contiguous image or as row pointers
// (rows[0..height), for bands whose rows are not all in one place). Radii at
// or above the band size are served by clamping reads to the edge.
#pragma once

#include <functional>

namespace dvk {

struct DVKLib;

void rgbg_unsharp_channel(DVKLib* d, float* image, unsigned width, unsigned height, unsigned radius, int channel,
                          double amount);
// All four channels at once: the same values as rgbg_unsharp_channel for
// channels 0 to 3 in turn, in one streaming pass.
void rgbg_unsharp_channels(DVKLib* d, float* image, unsigned width, unsigned height, unsigned radius, double amount);
void rgbg_unsharp_channels(DVKLib* d, float* const* rows, unsigned width, unsigned height, unsigned radius,
                           double amount);
// The mosaic unsharp mask of a full-size mosaic whose pattern repeats every
// two rows and columns, at the sites only: each site's own sample gets
// exactly the value rgbg_unsharp_channels gives it, while the samples of the
// other channels (which no later stage reads before demosaicing fills them)
// are left as they were. About half the work. False, touching nothing, for
// any other image (the caller then takes rgbg_unsharp_channels).
// `ready(first, end)`, when given, makes rows [first, end) before the mask
// first reads them (every row once, in order). With `mix_greens` the second
// green sites (colour 3) also get their new sample in channel 1, as
// mix_green_channels would copy it.
bool rgbg_unsharp_sites(DVKLib* d, float* const* rows, unsigned width, unsigned height, unsigned radius,
                        double amount, const std::function<void(unsigned first, unsigned end)>& ready = {},
                        bool mix_greens = false);
void rgb_unsharp_channel(float* image, unsigned width, unsigned height, unsigned radius, int channel, double amount);
void blur_channel(float* image, unsigned width, unsigned height, unsigned radius, int channel);
void blur_ab_channels(DVKLib* d, float* lab, unsigned width, unsigned height, int blurAB);
void blur_ab_channels(DVKLib* d, float* const* rows, unsigned width, unsigned height, int blurAB);
// The same as part of a streaming pass: ready(first, end) makes rows [first,
// end) before the blur first reads them (every row once, in order), and
// done(row) is called once a row holds its blurred values (every row, in
// order), which it may then rewrite. Without blurAB the rows are made and
// done in order, nothing else. False when the blur's scratch rows cannot be
// allocated (nothing was made then).
bool blur_ab_channels(DVKLib* d, float* const* rows, unsigned width, unsigned height, int blurAB,
                      const std::function<void(unsigned first, unsigned end)>& ready,
                      const std::function<void(unsigned row)>& done);
void sharpen_l_channel(DVKLib* d, float* lab, unsigned width, unsigned height, int enabled, float sharpness,
                       float baseRadius);
void sharpen_l_channel(DVKLib* d, float* const* rows, unsigned width, unsigned height, int enabled, float sharpness,
                       float baseRadius);
// blur_ab_channels then sharpen_l_channel, with the passes that can share
// one blur done together.
void blur_ab_and_sharpen_l(DVKLib* d, float* lab, unsigned width, unsigned height, int blurAB, int enabled,
                           float sharpness, float baseRadius);
void blur_ab_and_sharpen_l(DVKLib* d, float* const* rows, unsigned width, unsigned height, int blurAB, int enabled,
                           float sharpness, float baseRadius);
// Local contrast: an unsharp mask of L whose radius is amount x radiusFactor
// (at most kMaxLocalContrastRadius).
inline constexpr float kMaxLocalContrastRadius = 1000.0f;
void local_contrast(float* lab, unsigned width, unsigned height, int enabled, float amount, float radiusFactor);
void local_contrast(float* const* rows, unsigned width, unsigned height, int enabled, float amount,
                    float radiusFactor);

}  // namespace dvk
