// Operations on the four-channel float working image (R, G, B, G2 a pixel):
// channel multipliers, the kept copy, dot-noise removal, orientation and the
// green mix before three-colour demosaicing.
#pragma once

#include "core/aligned_buffer.h"

namespace dvk {

struct DVKLib;

// Multiplies channels 0..3 of every pixel by (float)r, g, b, g2.
void multiply_channels(DVKLib* d, float* image, unsigned width, int height, double r, double g, double b, double g2);
// multiply_channels' loop over `pixels` pixels on the calling thread (for
// band workers, which are threads of their own).
void scale_channels(float* image, std::size_t pixels, double r, double g, double b, double g2);
// Copies iwidth x iheight pixels of the record's image into `dest`; false without an image.
bool copy_rgbg_image(DVKLib* d, float* dest);
// As above into a new buffer of R16(iheight) x R16(iwidth) pixels; empty
// without an image or when memory is short.
AlignedBuffer<float> copy_rgbg_image(DVKLib* d);
// Replaces isolated hot and dead samples in place (mosaic or full-colour form).
void clean_dot_noise(DVKLib* d, float* image, unsigned width, unsigned height);
// Mirrors and/or transposes the record's image by a LibRaw orientation code
// (16-byte pixels when fourChannels, else float RGB). When memory is short
// the image and sizes stay as they were and the failure is reported.
void flip_image(DVKLib* d, int fourChannels, unsigned flip);
// Folds the second green of a Bayer image into the first for three-colour
// demosaicing, or keeps four colours when four_color_rgb is set.
void mix_green_channels(DVKLib* d);
// Whether mix_green_channels copies samples, and then exactly at the sites
// of colour 3 (the second greens): a pass that writes those sites can copy
// them itself.
bool mix_green_copies_second_greens(DVKLib* d);
// mix_green_channels with its copy done only in image rows [first, end) (a
// pass made it in the others), the pattern change as always.
void mix_green_channels(DVKLib* d, unsigned first_row, unsigned end_row);

}  // namespace dvk
