// The separable running-sum box blur under the detail stages (internal),
// streaming down the rows so that a stage can rewrite each row as it comes.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace dvk {

// Mirror without repeating the edge (-i below 0, 2(n - 1) - i above n - 1),
// reflected again as often as a radius at or above the size needs: the
// index keeps its parity, so a mosaic's sites stay among their own colour.
inline long mirror_index(long i, long n) {
    if (n <= 1) return 0;
    const long period = 2 * (n - 1);
    i %= period;
    if (i < 0) i += period;
    return i > n - 1 ? period - i : i;
}

// Blurs channels [first, first + count) of an interleaved image at once,
// streaming down the rows: a running sum per column down the rows, then one
// across each row, in double precision, each pass's values rounded to float;
// the window is (2 radius + 1) square and both passes use `divisor`. Calls emit(row, blurred) in row order with the row's
// count x width blurred values, interleaved. emit may rewrite image row
// `row`: the rows the blur still reads afterwards are kept as they were.
// Returns false, touching nothing, when the scratch rows cannot be allocated
// or the channel range is not within the pixel.
bool box_blur_rows(float* image, int channels, int first, int count, unsigned width, unsigned height,
                   unsigned radius, double divisor, const std::function<void(unsigned row, const float* blurred)>& emit);
// The same over rows given by pointers (image_rows[0..height)).
bool box_blur_rows(float* const* image_rows, int channels, int first, int count, unsigned width, unsigned height,
                   unsigned radius, double divisor, const std::function<void(unsigned row, const float* blurred)>& emit);
// The same, with ready(first, end) called before the blur first reads rows
// [first, end): every row once, in increasing order, each before it is
// emitted, so that the rows can be made as the blur comes to them. ready
// may rewrite those rows.
using RowsReady = std::function<void(unsigned first, unsigned end)>;
bool box_blur_rows(float* const* image_rows, int channels, int first, int count, unsigned width, unsigned height,
                   unsigned radius, double divisor, const std::function<void(unsigned row, const float* blurred)>& emit,
                   const RowsReady& ready);

// Pointers to the rows of a contiguous image.
std::vector<float*> contiguous_rows(float* image, unsigned width, unsigned height, int channels);

}  // namespace dvk
