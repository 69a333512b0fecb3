// The separable running-sum box blur under the detail stages (internal).
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace dvk {

// Mirror without repeating the edge (-i below 0, 2(n - 1) - i above n - 1),
// then clamped into [0, n - 1] for radii at or above the size.
inline long mirror_index(long i, long n) {
    if (i < 0) i = -i;
    if (i > n - 1) i = 2 * (n - 1) - i;
    if (i < 0) i = 0;
    if (i > n - 1) i = n - 1;
    return i;
}

// Blurs one channel of an interleaved image (`channels` floats a pixel) with a
// (2r + 1)-square window and the given divisor in both passes, and calls
// emit(row, blurred_row) for each row. Returns false, touching nothing, when
// the scratch array cannot be allocated.
bool box_blur_channel(const float* image, int channels, int channel, unsigned width, unsigned height,
                      unsigned radius, double divisor,
                      const std::function<void(unsigned row, const float* blurred)>& emit);

// Blurs every channel of an interleaved image at once, streaming down the
// rows (the same values as box_blur_channel gives each channel), and calls
// emit(row, blurred) in row order with the row's channels x width blurred
// values, interleaved like the image. emit may rewrite image row `row`: the
// rows the blur still reads afterwards are kept as they were. Returns false,
// touching nothing, when the scratch rows cannot be allocated.
bool box_blur_rows(float* image, int channels, unsigned width, unsigned height, unsigned radius, double divisor,
                   const std::function<void(unsigned row, const float* blurred)>& emit);

}  // namespace dvk
