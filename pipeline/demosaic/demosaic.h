// Demosaicing of the four-channel float working image (R, G, B, second G per
// pixel, values 0..1, the measured sample in the channel LibRaw::fcol names).
//
// Every method works in place on one band of rows treated as a whole image and
// asks the decoder of the record for the colour of a site (rows counted from the
// band's first row). AHD and VCD expect border_interpolate to have filled the
// image border beforehand; VNG prepares its own. binn32_tr reduces a Bayer
// mosaic to two thirds of its size as float RGB. Allocation failures are
// reported on standard error and leave the image as it was.
#pragma once

#include <cstdint>
#include <string>

namespace dvk {

struct DVKLib;

// Fills the missing colours of the outer `border` rows and columns with the
// mean of the 3 x 3 neighbours of each colour.
void border_interpolate(DVKLib* d, unsigned border, float* image, unsigned width, unsigned height);

// Adaptive homogeneity-directed demosaicing in 256 x 256 tiles.
void ahd_interpolate(DVKLib* d, float* band, unsigned width, unsigned height);
// The same over a band given by its rows (which need not lie one after
// another), for 2 x 2 Bayer patterns: false, doing nothing, for any other.
bool ahd_interpolate(DVKLib* d, float* const* rows, unsigned width, unsigned height);
// Whether the pattern of the record's file is one the row form takes.
bool ahd_takes_rows(DVKLib* d);

// Variance-of-colour-differences demosaicing; the band workers pass threshold 2.0.
void vcd_interpolate(DVKLib* d, float* band, unsigned width, unsigned height, float threshold);

// Border fill plus a bilinear estimate of every inner site (the start of VNG).
void vng_prepare(DVKLib* d, float* image, unsigned width, unsigned height);

// Variable-number-of-gradients demosaicing (Bayer, X-Trans and 16 x 16 patterns).
void vng_interpolate(DVKLib* d, float* band, unsigned width, unsigned height);

// Linear minimum-mean-square-error demosaicing; reports its start and processor
// time on standard error and returns the result of the last print.
int lmmse_interpolate(DVKLib* d, float* band, unsigned width, unsigned height);
// The same over a band given by its rows (which need not lie one after another).
int lmmse_interpolate(DVKLib* d, float* const* rows, unsigned width, unsigned height);

// Whether the record's file has a colour filter of four colours (LibRaw's
// colour count 4, or a colour index 3 that is no second green of a 2 x 2
// Bayer pattern). The methods here develop three colours only; asked of a
// freshly loaded record, before the greens are mixed.
bool four_colour_pattern(DVKLib* d);

// Why a working image of width x height pixels cannot be developed with
// interpolation code `interpolation` (0 AHD, 1 VNG, 2 half size, 3 VCD,
// 4 LMMSE, 5 two-thirds binning), e.g. "the image is too small for
// two-thirds binning (8 x 20 pixels; it takes at least 9 x 3)"; empty when it
// can. `half_size`: the image was decoded at half size (no demosaicing).
std::string too_small_to_develop(DVKLib* d, int interpolation, bool half_size, unsigned width, unsigned height);

// Rows after which the colour-filter pattern `filters` repeats: 2 for the usual
// Bayer codes, 4 or 8 for rarer ones, 6 for X-Trans, 16 for the 16 x 16 pattern.
unsigned cfa_row_period(unsigned filters);
// The thread count a band runner may use for a method whose bands start at
// multiples of `band_row_step` rows: `threads` when the pattern repeats on that
// step, else 1 (one band over the whole image).
int demosaic_band_threads(unsigned filters, unsigned band_row_step, int threads);

// Two-thirds reduction: every 3 x 3 block of sites becomes 2 x 2 RGB pixels,
// written as float RGB from the start of the same buffer. width and height are
// replaced by the output size. A mosaic's pixels take the sites of one
// overlapping 2 x 2 quad per colour (the two greens averaged); an image
// without a pattern, full colour in every pixel, the mean of the same quads.
void binn32_tr(DVKLib* d, float* image, std::uint16_t* width, std::uint16_t* height);

}  // namespace dvk
