// Measuring a target patch on the developed preview, and the display colour of
// a reference patch.
#pragma once

#include <array>

namespace dvk {

// The mean colour and its standard deviation inside a rectangle of the preview
// (`width` x `height` pixels of three floats, rows from the top), robust
// against specks, dust and the patch border: two rounds of mean and deviation
// per channel, the second over the values within one deviation of the first
// mean. Only values strictly between 0 and 1 count; unless `skipCompression`
// every value v is first mapped to v * 0.8 + 0.1, so only exact zeros (pixels
// outside the image) drop out. The deviation is never below 0.001. Pixels of
// the rectangle outside the image (a negative origin too) take no part.
//
// Returns false, leaving mean and stdev untouched, when the preview or the
// rectangle is empty or a channel has no value to measure.
bool sample_patch(const float* preview, unsigned width, unsigned height, long x, long y, unsigned w, unsigned h,
                  bool skipCompression, double mean[3], double stdev[3]);

// XYZ (scaled to 1) to display RGB: each row of `matrix` times XYZ, clamped to
// 0..1, then raised to `exponent` (unless it is 1). Returns `out`.
double* patch_color_to_rgb(double out[3], const double matrix[3][3], double exponent, double X, double Y, double Z);

// The XYZ (D50) to linear BetaRGB matrix and the exponent of the swatch.
extern const double kSwatchXYZToRGB[3][3];
inline constexpr double kSwatchExponent = 1 / 2.2;

}  // namespace dvk
