// Reading the ground-truth photographs (PNG, TIFF) as float RGB in 0..1,
// writing a Bayer mosaic as a minimal DNG, and reading dcraw_emu's 16-bit PPM.
#pragma once

#include <string>
#include <vector>

namespace dvk::quality {

struct RgbImage {
    unsigned width = 0, height = 0;
    std::vector<float> pixels;  // three floats a pixel, 0..1
};

// PNG (8 or 16 bits, RGB or RGBA) or TIFF (8 or 16 bits, RGB, contiguous).
bool read_photo(const std::string& path, RgbImage& out, std::string& error);

// A DNG of 16-bit CFA samples (white 65535, black 0, identity colour matrix).
// cfa holds the colours of the 2 x 2 pattern (0 red, 1 green, 2 blue) in
// reading order; samples are width x height values.
bool write_cfa_dng(const std::string& path, unsigned width, unsigned height, const unsigned char cfa[4],
                   const std::vector<unsigned short>& samples, std::string& error);

// A binary 16-bit PPM (P6, maxval 65535) as float RGB in 0..1.
bool read_ppm16(const std::string& path, RgbImage& out, std::string& error);

}  // namespace dvk::quality
