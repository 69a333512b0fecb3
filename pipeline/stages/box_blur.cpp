#include "pipeline/stages/box_blur.h"

#include <algorithm>
#include <cstring>

#include "core/aligned_buffer.h"
#include "core/dvklib.h"
#include "pipeline/stages/mirrored_window.h"
#include "core/vector_math.h"

namespace dvk {

namespace {

// The vertical step of the streaming blur for one row: the running sums of
// `Count` channels of pixels `Channels` floats apart advance by the row
// entering the window minus the row leaving it; the row's result is the sums
// over the divisor, packed.
template <int Channels, int Count>
DVK_SIMD_CLONES void advance_row_sums(double* __restrict sums, const float* add, const float* sub, std::size_t width,
                                      double divisor, float* __restrict out) {
    for (std::size_t x = 0; x < width; ++x)
        for (int c = 0; c < Count; ++c) {
            const std::size_t i = x * Count + static_cast<std::size_t>(c);
            sums[i] += static_cast<double>(add[x * Channels + static_cast<std::size_t>(c)]) -
                       static_cast<double>(sub[x * Channels + static_cast<std::size_t>(c)]);
            out[i] = static_cast<float>(sums[i] / divisor);
        }
}

void advance_row_sums_any(double* sums, const float* add, const float* sub, std::size_t width, int channels,
                          int count, double divisor, float* out) {
    for (std::size_t x = 0; x < width; ++x)
        for (int c = 0; c < count; ++c) {
            const std::size_t i = x * static_cast<std::size_t>(count) + static_cast<std::size_t>(c);
            const std::size_t j = x * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c);
            sums[i] += static_cast<double>(add[j]) - static_cast<double>(sub[j]);
            out[i] = static_cast<float>(sums[i] / divisor);
        }
}

void advance_row(double* sums, const float* add, const float* sub, std::size_t width, int channels, int count,
                 double divisor, float* out) {
    if (channels == 4 && count == 4) return advance_row_sums<4, 4>(sums, add, sub, width, divisor, out);
    if (channels == 4 && count == 1) return advance_row_sums<4, 1>(sums, add, sub, width, divisor, out);
    if (channels == 3 && count == 3) return advance_row_sums<3, 3>(sums, add, sub, width, divisor, out);
    if (channels == 3 && count == 2) return advance_row_sums<3, 2>(sums, add, sub, width, divisor, out);
    if (channels == 3 && count == 1) return advance_row_sums<3, 1>(sums, add, sub, width, divisor, out);
    advance_row_sums_any(sums, add, sub, width, channels, count, divisor, out);
}

// The horizontal step of the streaming blur over `Rows` rows side by side:
// every channel's running sum across each row (Rows x Count independent sums,
// so that their additions overlap), stored in `sums` (one row of n after
// another) and divided afterwards as vector code.
template <int Count, int Rows>
void sum_rows_across(const float* const* v, const long* add_col, const long* sub_col, const long* start_col,
                     std::size_t starts, long width, std::size_t n, double* __restrict sums) {
    double s[Rows][Count] = {};
    for (int k = 0; k < Rows; ++k)
        for (std::size_t j = 0; j < starts; ++j)
            for (int c = 0; c < Count; ++c) s[k][c] += v[k][start_col[j] * Count + c];
    for (long x = 0; x < width; ++x) {
        const long a = add_col[x] * Count, b = sub_col[x] * Count;
        for (int k = 0; k < Rows; ++k)
            for (int c = 0; c < Count; ++c) {
                s[k][c] += static_cast<double>(v[k][a + c]) - static_cast<double>(v[k][b + c]);
                sums[static_cast<std::size_t>(k) * n + static_cast<std::size_t>(x * Count + c)] = s[k][c];
            }
    }
}

void sum_row_across_any(const float* v, int count, const long* add_col, const long* sub_col, const long* start_col,
                        std::size_t starts, long width, double* sums) {
    for (int c = 0; c < count; ++c) {
        double s = 0;
        for (std::size_t j = 0; j < starts; ++j) s += v[start_col[j] * count + c];
        for (long x = 0; x < width; ++x) {
            s += static_cast<double>(v[add_col[x] * count + c]) - static_cast<double>(v[sub_col[x] * count + c]);
            sums[x * count + c] = s;
        }
    }
}

DVK_SIMD_CLONES void divide_sums(const double* __restrict sums, std::size_t n, double divisor, float* __restrict out) {
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<float>(sums[i] / divisor);
}

// Rows a block of the streaming blur holds.
constexpr long kBlockRows = 8;

// The horizontal step for the block's `rows` rows (the vertical rows in v,
// the results in out), in groups of as many rows as keep about eight sums
// going side by side.
template <int Count>
void blur_block_across(const float* const* v, long rows, const long* add_col, const long* sub_col,
                       const long* start_col, std::size_t starts, long width, std::size_t n, double divisor,
                       double* sums, float* const* out) {
    constexpr int kGroup = Count >= 3 ? 2 : 8 / Count;
    for (long k0 = 0; k0 < rows; k0 += kGroup) {
        const float* group[kGroup];
        for (int k = 0; k < kGroup; ++k) group[k] = v[std::min(k0 + k, rows - 1)];
        sum_rows_across<Count, kGroup>(group, add_col, sub_col, start_col, starts, width, n, sums);
        for (long k = 0; k < kGroup && k0 + k < rows; ++k)
            divide_sums(sums + static_cast<std::size_t>(k) * n, n, divisor, out[k0 + k]);
    }
}

}  // namespace

std::vector<float*> contiguous_rows(float* image, unsigned width, unsigned height, int channels) {
    std::vector<float*> rows(height);
    const std::size_t row_floats = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    for (unsigned y = 0; y < height; ++y) rows[y] = image + static_cast<std::size_t>(y) * row_floats;
    return rows;
}

bool box_blur_rows(float* image, int channels, int first, int count, unsigned width, unsigned height,
                   unsigned radius, double divisor, const std::function<void(unsigned row, const float* blurred)>& emit) {
    if (!image || width == 0 || height == 0 || channels <= 0) return true;
    const std::vector<float*> rows = contiguous_rows(image, width, height, channels);
    return box_blur_rows(rows.data(), channels, first, count, width, height, radius, divisor, emit);
}

bool box_blur_rows(float* const* image_rows, int channels, int first, int count, unsigned width, unsigned height,
                   unsigned radius, double divisor, const std::function<void(unsigned row, const float* blurred)>& emit) {
    return box_blur_rows(image_rows, channels, first, count, width, height, radius, divisor, emit, RowsReady());
}

bool box_blur_rows(float* const* image_rows, int channels, int first, int count, unsigned width, unsigned height,
                   unsigned radius, double divisor, const std::function<void(unsigned row, const float* blurred)>& emit,
                   const RowsReady& ready) {
    if (!image_rows || width == 0 || height == 0 || channels <= 0) return true;
    if (first < 0 || count <= 0 || first + count > channels) return false;
    const long r = static_cast<long>(radius);
    const long h = static_cast<long>(height), w = static_cast<long>(width);
    const std::size_t row_floats = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(count);
    // The rows go in blocks of kBlockRows: the vertical sums of the block's
    // rows, then their horizontal sums side by side. A row is emitted once
    // the window has passed it (no later step reads it): r + 1 rows after it,
    // or at the end for the rows the mirror at the bottom reads again; the
    // blurred rows wait in a ring meanwhile, and the image rows keep their
    // values until emitted. When the image is too short for the mirror to
    // stay within it, a copy of the whole image serves instead.
    MirroredRows source(image_rows, h, row_floats, r, ready);
    const long bottom = h - 2 * r - 2;  // rows from here on may be read again through the bottom mirror
    const std::size_t pending_rows = static_cast<std::size_t>(std::min<long>(h, 3 * r + 3 + kBlockRows));
    AlignedBuffer<double> sums = allocate_aligned_zeroed<double>(n);
    AlignedBuffer<double> across = allocate_aligned<double>(8 * n);
    AlignedBuffer<float> vrows = allocate_aligned<float>(kBlockRows * n);
    AlignedBuffer<float> pending = allocate_aligned<float>(pending_rows * n);
    if (!source.ok() || !sums || !across || !vrows || !pending) return false;
    source.begin();
    // The original values of row y (mirrored), from its first blurred channel.
    const auto row_at = [&](long y) -> const float* { return source.row(y) + first; };
    for (long y = -r - 1; y <= r - 1; ++y) {
        const float* src = row_at(y);
        for (std::size_t x = 0; x < width; ++x)
            for (int c = 0; c < count; ++c)
                sums[x * static_cast<std::size_t>(count) + static_cast<std::size_t>(c)] +=
                    src[x * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)];
    }
    const MirroredColumns columns = mirrored_columns(w, r);
    const long* ac = columns.add.data();
    const long* sc = columns.sub.data();
    const long* st = columns.start.data();
    const std::size_t starts = columns.start.size();
    const auto blurred_row = [&](long y) { return pending.get() + static_cast<std::size_t>(y) % pending_rows * n; };
    const float* v[kBlockRows];
    float* o[kBlockRows];
    for (long k = 0; k < kBlockRows; ++k) v[k] = vrows.get() + static_cast<std::size_t>(k) * n;
    long next_emit = 0;
    for (long y0 = 0; y0 < h; y0 += kBlockRows) {
        const long rows = std::min(kBlockRows, h - y0);
        for (long k = 0; k < rows; ++k) {
            advance_row(sums.get(), row_at(y0 + k + r), row_at(y0 + k - r - 1), width, channels, count, divisor,
                        vrows.get() + static_cast<std::size_t>(k) * n);
            o[k] = blurred_row(y0 + k);
        }
        switch (count) {
        case 1: blur_block_across<1>(v, rows, ac, sc, st, starts, w, n, divisor, across.get(), o); break;
        case 2: blur_block_across<2>(v, rows, ac, sc, st, starts, w, n, divisor, across.get(), o); break;
        case 3: blur_block_across<3>(v, rows, ac, sc, st, starts, w, n, divisor, across.get(), o); break;
        case 4: blur_block_across<4>(v, rows, ac, sc, st, starts, w, n, divisor, across.get(), o); break;
        default:
            for (long k = 0; k < rows; ++k) {
                sum_row_across_any(v[k], count, ac, sc, st, starts, w, across.get());
                divide_sums(across.get(), n, divisor, o[k]);
            }
            break;
        }
        source.make_through(y0 + rows - 1);
        // Rows the steps so far were the last to read.
        const long passed = std::min(y0 + rows - 1 - r - 1, bottom - 1);
        for (; next_emit <= passed; ++next_emit) emit(static_cast<unsigned>(next_emit), blurred_row(next_emit));
    }
    for (; next_emit < h; ++next_emit) emit(static_cast<unsigned>(next_emit), blurred_row(next_emit));
    return true;
}

}  // namespace dvk
