#include "pipeline/box_blur.h"

#include <algorithm>
#include <cstring>

#include "pipeline/aligned_buffer.h"
#include "pipeline/dvklib.h"
#include "pipeline/vector_math.h"

namespace dvk {

namespace {

// The scratch array of the calling thread, kept between calls when it is
// small enough (a band thread blurs several channels one after another;
// fresh pages each time cost more than the blur). Larger arrays are freed
// after each call.
constexpr std::size_t kKeepFloats = std::size_t(8) << 20;  // 32 MB

struct Scratch {
    AlignedBuffer<float> buffer;
    std::size_t floats = 0;
};

thread_local Scratch t_scratch;

float* scratch_floats(std::size_t n, AlignedBuffer<float>& owned) {
    if (n > kKeepFloats) {
        owned = allocate_aligned<float>(n);
        return owned.get();
    }
    if (t_scratch.floats < n) {
        t_scratch.buffer = allocate_aligned<float>(n);
        t_scratch.floats = t_scratch.buffer ? n : 0;
    }
    return t_scratch.buffer.get();
}

// One row of the vertical pass: every column's running sum advances by the
// row entering the window minus the row leaving it, and the row's output is
// the sums over the divisor.
DVK_SIMD_CLONES void advance_column_sums(double* __restrict sums, const float* add, const float* sub,
                                         std::size_t channels, std::size_t width, double divisor,
                                         float* __restrict out) {
    for (std::size_t x = 0; x < width; ++x) {
        sums[x] += static_cast<double>(add[x * channels]) - static_cast<double>(sub[x * channels]);
        out[x] = static_cast<float>(sums[x] / divisor);
    }
}

DVK_SIMD_CLONES void advance_column_sums4(double* __restrict sums, const float* add, const float* sub,
                                          std::size_t width, double divisor, float* __restrict out) {
    for (std::size_t x = 0; x < width; ++x) {
        sums[x] += static_cast<double>(add[x * 4]) - static_cast<double>(sub[x * 4]);
        out[x] = static_cast<float>(sums[x] / divisor);
    }
}

DVK_SIMD_CLONES void advance_column_sums3(double* __restrict sums, const float* add, const float* sub,
                                          std::size_t width, double divisor, float* __restrict out) {
    for (std::size_t x = 0; x < width; ++x) {
        sums[x] += static_cast<double>(add[x * 3]) - static_cast<double>(sub[x * 3]);
        out[x] = static_cast<float>(sums[x] / divisor);
    }
}

// A row's running sums over the divisor.
DVK_SIMD_CLONES void divide_sums(const double* __restrict sums, std::size_t n, double divisor, float* __restrict out) {
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<float>(sums[i] / divisor);
}

// The vertical step of the streaming blur over a whole interleaved row.
DVK_SIMD_CLONES void advance_row_sums(double* __restrict sums, const float* add, const float* sub, std::size_t n,
                                      double divisor, float* __restrict out) {
    for (std::size_t i = 0; i < n; ++i) {
        sums[i] += static_cast<double>(add[i]) - static_cast<double>(sub[i]);
        out[i] = static_cast<float>(sums[i] / divisor);
    }
}

// The horizontal step of the streaming blur: every channel's running sum
// across one interleaved row, side by side.
template <int Channels>
DVK_SIMD_CLONES void blur_row_across(const float* v, const long* add_col, const long* sub_col, const long* start_col,
                                     std::size_t starts, long width, double divisor, float* __restrict out) {
    double s[Channels] = {};
    for (std::size_t k = 0; k < starts; ++k)
        for (int c = 0; c < Channels; ++c) s[c] += v[start_col[k] * Channels + c];
    for (long x = 0; x < width; ++x) {
        const float* a = v + add_col[x] * Channels;
        const float* b = v + sub_col[x] * Channels;
        for (int c = 0; c < Channels; ++c) {
            s[c] += static_cast<double>(a[c]) - static_cast<double>(b[c]);
            out[x * Channels + c] = static_cast<float>(s[c] / divisor);
        }
    }
}

void blur_row_across_any(const float* v, int channels, const long* add_col, const long* sub_col,
                         const long* start_col, std::size_t starts, long width, double divisor, float* out) {
    for (int c = 0; c < channels; ++c) {
        double s = 0;
        for (std::size_t k = 0; k < starts; ++k) s += v[start_col[k] * channels + c];
        for (long x = 0; x < width; ++x) {
            s += static_cast<double>(v[add_col[x] * channels + c]) - static_cast<double>(v[sub_col[x] * channels + c]);
            out[x * channels + c] = static_cast<float>(s / divisor);
        }
    }
}

}  // namespace

bool box_blur_rows(float* image, int channels, unsigned width, unsigned height, unsigned radius, double divisor,
                   const std::function<void(unsigned row, const float* blurred)>& emit) {
    if (!image || width == 0 || height == 0 || channels <= 0) return true;
    const long r = static_cast<long>(radius);
    const long h = static_cast<long>(height), w = static_cast<long>(width);
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    // Rows already emitted are read from a ring of their original values;
    // the rows the window still needs are always among the last r + 1. When
    // the image is too short for the mirror to stay within the image, a copy
    // of the whole image serves instead.
    const bool whole_copy = h < r + 2;
    const std::size_t ring_rows = whole_copy ? static_cast<std::size_t>(h) : static_cast<std::size_t>(r) + 2;
    AlignedBuffer<float> ring = allocate_aligned<float>(ring_rows * n);
    AlignedBuffer<double> sums = allocate_aligned_zeroed<double>(n);
    AlignedBuffer<float> vrow = allocate_aligned<float>(n);
    AlignedBuffer<float> out = allocate_aligned<float>(n);
    if (!ring || !sums || !vrow || !out) return false;
    if (whole_copy) std::memcpy(ring.get(), image, ring_rows * n * sizeof(float));
    long next_emit = 0;
    auto row_at = [&](long y) -> const float* {
        const long m = mirror_index(y, h);
        if (whole_copy) return ring.get() + static_cast<std::size_t>(m) * n;
        if (m < next_emit) return ring.get() + static_cast<std::size_t>(m) % ring_rows * n;
        return image + static_cast<std::size_t>(m) * n;
    };
    for (long y = -r - 1; y <= r - 1; ++y) {
        const float* s = row_at(y);
        for (std::size_t i = 0; i < n; ++i) sums[i] += s[i];
    }
    std::vector<long> add_col(width), sub_col(width), start_col;
    for (long x = 0; x < w; ++x) {
        add_col[static_cast<std::size_t>(x)] = mirror_index(x + r, w);
        sub_col[static_cast<std::size_t>(x)] = mirror_index(x - r - 1, w);
    }
    for (long x = -r - 1; x <= r - 1; ++x) start_col.push_back(mirror_index(x, w));
    for (long y = 0; y < h; ++y) {
        advance_row_sums(sums.get(), row_at(y + r), row_at(y - r - 1), n, divisor, vrow.get());
        if (channels == 4)
            blur_row_across<4>(vrow.get(), add_col.data(), sub_col.data(), start_col.data(), start_col.size(), w,
                               divisor, out.get());
        else if (channels == 3)
            blur_row_across<3>(vrow.get(), add_col.data(), sub_col.data(), start_col.data(), start_col.size(), w,
                               divisor, out.get());
        else
            blur_row_across_any(vrow.get(), channels, add_col.data(), sub_col.data(), start_col.data(),
                                start_col.size(), w, divisor, out.get());
        float* row = image + static_cast<std::size_t>(y) * n;
        if (!whole_copy)
            std::memcpy(ring.get() + static_cast<std::size_t>(y) % ring_rows * n, row, n * sizeof(float));
        next_emit = y + 1;
        emit(static_cast<unsigned>(y), out.get());
    }
    return true;
}

bool box_blur_channel(const float* image, int channels, int channel, unsigned width, unsigned height,
                      unsigned radius, double divisor,
                      const std::function<void(unsigned row, const float* blurred)>& emit) {
    if (!image || width == 0 || height == 0) return true;
    const std::size_t w16 = round_up_to_multiple(width, 16), h16 = round_up_to_multiple(height, 16);
    // Every element the passes read is written first, so the array needs no zeroing.
    AlignedBuffer<float> owned;
    float* const vert = scratch_floats(w16 * h16, owned);
    if (!vert) return false;
    std::vector<double> sums(width, 0.0);
    const long r = static_cast<long>(radius);
    const long h = static_cast<long>(height), w = static_cast<long>(width);
    const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    const float* base = image + channel;
    auto src_row = [&](long y) { return base + static_cast<std::size_t>(mirror_index(y, h)) * stride; };
    // Vertical pass: one running sum per column, rows -r-1 .. r-1 to start.
    for (long y = -r - 1; y <= r - 1; ++y) {
        const float* s = src_row(y);
        for (std::size_t x = 0; x < width; ++x) sums[x] += s[x * static_cast<std::size_t>(channels)];
    }
    for (long y = 0; y < h; ++y) {
        const float* add = src_row(y + r);
        const float* sub = src_row(y - r - 1);
        float* out = vert + static_cast<std::size_t>(y) * w16;
        if (channels == 4)
            advance_column_sums4(sums.data(), add, sub, width, divisor, out);
        else if (channels == 3)
            advance_column_sums3(sums.data(), add, sub, width, divisor, out);
        else
            advance_column_sums(sums.data(), add, sub, static_cast<std::size_t>(channels), width, divisor, out);
    }
    // Horizontal pass: the window's column indices once for all rows, and
    // kRows rows at a time so that their running sums advance side by side
    // (each row's sums are the same sequence as alone).
    constexpr long kRows = 8;
    std::vector<long> add_col(width), sub_col(width), start_col;
    for (long x = 0; x < w; ++x) {
        add_col[static_cast<std::size_t>(x)] = mirror_index(x + r, w);
        sub_col[static_cast<std::size_t>(x)] = mirror_index(x - r - 1, w);
    }
    for (long x = -r - 1; x <= r - 1; ++x) start_col.push_back(mirror_index(x, w));
    // The running sums of kRows rows side by side, divided afterwards row by
    // row (the divisions do not hold up the sums and run as vector code).
    std::vector<double> row_sums(static_cast<std::size_t>(kRows) * width);
    std::vector<float> line(width);
    for (long y0 = 0; y0 < h; y0 += kRows) {
        const long rows = std::min(kRows, h - y0);
        double s[kRows] = {};
        const float* v[kRows];
        for (long k = 0; k < kRows; ++k) {
            v[k] = vert + static_cast<std::size_t>(std::min(y0 + k, h - 1)) * w16;
            for (long c : start_col) s[k] += v[k][c];
        }
        for (long x = 0; x < w; ++x) {
            const long a = add_col[static_cast<std::size_t>(x)], b = sub_col[static_cast<std::size_t>(x)];
            for (long k = 0; k < kRows; ++k) {
                s[k] += static_cast<double>(v[k][a]) - static_cast<double>(v[k][b]);
                row_sums[static_cast<std::size_t>(k) * width + static_cast<std::size_t>(x)] = s[k];
            }
        }
        for (long k = 0; k < rows; ++k) {
            divide_sums(row_sums.data() + static_cast<std::size_t>(k) * width, width, divisor, line.data());
            emit(static_cast<unsigned>(y0 + k), line.data());
        }
    }
    return true;
}

}  // namespace dvk
