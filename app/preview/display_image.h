// DisplayImage: a developed preview as the window shows it: three 16-bit
// samples a pixel, rows of `width` pixels in a zero-filled buffer of
// (width and height rounded up to multiples of 16) pixels, and the ICC bytes
// of its colours (none for raw output). Each image owns its pixels, so the
// view, the previous-state list and the worker never share a buffer; images
// are handed around as shared pointers to const, except for the clipping
// display, which inverts the samples of the image on show in place.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/aligned_buffer.h"

namespace dvk {

struct DisplayImage {
    unsigned width = 0, height = 0;
    AlignedBuffer<std::uint16_t> pixels;  // width x height x 3 samples used
    std::vector<std::uint8_t> profile;    // empty: no colour management
    std::uint64_t serial = 0;             // unique per image made in this process

    std::uint16_t* row(unsigned y) const { return pixels.get() + static_cast<std::size_t>(y) * width * 3; }
};

// The image of a float RGB preview (width x height x 3, 0..1) at 16 bits, full
// range, with the given profile bytes. Null for a zero size, no preview or
// when memory is short.
std::shared_ptr<DisplayImage> makeDisplayImage(const float* preview, unsigned width, unsigned height,
                                               std::vector<std::uint8_t> profile);

// Shows clipping: every sample of 500 or less and of 65035 or more becomes
// its bitwise complement (twice restores the image).
void invertClippedSamples(DisplayImage& image);

}  // namespace dvk
