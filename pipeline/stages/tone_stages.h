// Tone stages on the four-channel working image, in place: black-point shift,
// clamp, highlight compression and the tone curve with contrast. Each has a
// mosaic form (only the site's own channel, on 2 x 2 blocks) used while the
// record holds an undemosaiced full-size mosaic, and a full-colour form.
#pragma once

namespace dvk {

struct DVKLib;

void black_shift(DVKLib* d, float* image, unsigned width, unsigned height, float shift);
// NaN and values above 1 become 1, values at or below 0 the smallest normal float.
void clamp_rgbg_float(DVKLib* d, float* image, unsigned width, int height);
void compress_highlights(DVKLib* d, float* image, unsigned width, unsigned height, float c, float range);
void apply_tone_curve(DVKLib* d, float* image, unsigned width, unsigned height, int curveType, float brightness,
                      float contrast, float valueZ);

}  // namespace dvk
