#include "pipeline/box_blur.h"

#include <algorithm>

#include "pipeline/aligned_buffer.h"
#include "pipeline/dvklib.h"

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

}  // namespace

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
        double* sm = sums.data();
        const std::size_t ch = static_cast<std::size_t>(channels);
        for (std::size_t x = 0; x < width; ++x) {
            sm[x] += static_cast<double>(add[x * ch]) - static_cast<double>(sub[x * ch]);
            out[x] = static_cast<float>(sm[x] / divisor);
        }
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
    std::vector<float> lines(static_cast<std::size_t>(kRows) * width);
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
                lines[static_cast<std::size_t>(k) * width + static_cast<std::size_t>(x)] =
                    static_cast<float>(s[k] / divisor);
            }
        }
        for (long k = 0; k < rows; ++k)
            emit(static_cast<unsigned>(y0 + k), lines.data() + static_cast<std::size_t>(k) * width);
    }
    return true;
}

}  // namespace dvk
