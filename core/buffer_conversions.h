// Conversions between the engine's image layouts: four-channel to float RGB,
// float RGB to 8/16/32-bit output samples, and the float RGB clamp.
#pragma once

#include <cstdint>

#include "core/aligned_buffer.h"

namespace dvk {

void clamp_rgb_float(float* image, unsigned width, int height);
// R, (G + G2) / 2 or G alone, B of every pixel into `dest` (may be `src`).
void rgbg_to_rgb_float(const float* src, unsigned width, unsigned height, float* dest, int bits, int greenOnly);
// rgbg_to_rgb_float and clamp_rgb_float in one pass.
void rgbg_to_clamped_rgb_float(const float* src, unsigned width, unsigned height, float* dest, int greenOnly);
// As above into a new buffer of R16(height) x R16(width) RGB pixels (empty when memory is short).
AlignedBuffer<float> rgbg_to_rgb_float(const float* src, unsigned width, unsigned height, int bits, int greenOnly);
// Float RGB to 8 or 16-bit samples (optionally studio range) or a 32-bit copy
// into `dest`; false for a null source or another depth.
bool convert_rgb_float_to_bits(const float* src, unsigned width, unsigned height, void* dest, unsigned bits,
                               bool studio);
// As above into a new buffer of R16(height) x R16(width) pixels (empty on failure).
AlignedBuffer<std::uint8_t> convert_rgb_float_to_bits(const float* src, unsigned width, unsigned height,
                                                      unsigned bits, bool studio);

}  // namespace dvk
