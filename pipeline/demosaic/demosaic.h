// Demosaicing of the four-channel float working image, band by band.
// Each function works in place on a band of `width` x `height` pixels (4
// floats each), treated as a whole image; sites are coloured by LibRaw::fcol
// with rows counted from the band's first row.
#pragma once

#include <cstdint>

namespace dvk {

struct DVKLib;

// Fills the outer `border` rows and columns by averaging neighbours.
void border_interpolate(DVKLib* d, unsigned border, float* image, unsigned width, unsigned height);
// Adaptive homogeneity-directed demosaicing.
void ahd_interpolate(DVKLib* d, float* band, unsigned width, unsigned height);
// Variance-of-colour-differences demosaicing (threshold 2.0 from the workers).
void vcd_interpolate(DVKLib* d, float* band, unsigned width, unsigned height, float threshold);
// Variable-number-of-gradients demosaicing (Bayer, X-Trans and 16x16 patterns).
void vng_interpolate(DVKLib* d, float* band, unsigned width, unsigned height);
// Linear minimum-mean-square-error demosaicing; the result is not used.
int lmmse_interpolate(DVKLib* d, float* band, unsigned width, unsigned height);
// Two-thirds reduction to float RGB in place; width and height become the output size.
void binn32_tr(DVKLib* d, float* image, std::uint16_t* width, std::uint16_t* height);

}  // namespace dvk
