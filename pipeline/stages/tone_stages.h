// Tone stages on the four-channel working image, in place: black-point shift,
// clamp, highlight compression and the tone curve with contrast. Each has a
// mosaic form (only the site's own channel, at every site up to the last row
// and column) used while the record holds an undemosaiced full-size mosaic,
// and a full-colour form.
#pragma once

#include <cstddef>

namespace dvk {

struct DVKLib;

void black_shift(DVKLib* d, float* image, unsigned width, unsigned height, float shift);
// NaN and values above 1 become 1, values at or below 0 the smallest normal float.
void clamp_rgbg_float(DVKLib* d, float* image, unsigned width, int height);
// The same rule on n contiguous samples.
void clamp_float_samples(float* v, std::size_t n);
void compress_highlights(DVKLib* d, float* image, unsigned width, unsigned height, float c, float range);
void apply_tone_curve(DVKLib* d, float* image, unsigned width, unsigned height, int curveType, float brightness,
                      float contrast, float valueZ);

// For the curve worker, which runs these on a few rows at a time: the same
// values as their plain forms, in fewer passes.
// scale_channels (per-channel factors) then clamp_rgbg_float, in one pass.
void scale_and_clamp_rgbg(float* image, std::size_t pixels, const double factors[4]);
// apply_tone_curve on an image that clamp_rgbg_float has just left as it
// is (its first clamp would change nothing); each later clamp is taken with
// the curve it follows, on the samples the curve changed (the others are
// clamped already).
void apply_tone_curve_to_clamped(DVKLib* d, float* image, unsigned width, unsigned height, int curveType,
                                 float brightness, float contrast, float valueZ);

}  // namespace dvk
