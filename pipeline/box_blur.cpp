#include "pipeline/box_blur.h"

#include "pipeline/aligned_buffer.h"
#include "pipeline/dvklib.h"

namespace dvk {

bool box_blur_channel(const float* image, int channels, int channel, unsigned width, unsigned height,
                      unsigned radius, double divisor,
                      const std::function<void(unsigned row, const float* blurred)>& emit) {
    if (!image || width == 0 || height == 0) return true;
    const std::size_t w16 = round_up_to_multiple(width, 16), h16 = round_up_to_multiple(height, 16);
    AlignedBuffer<float> vert = allocate_aligned_zeroed<float>(w16 * h16);
    std::vector<double> sums;
    std::vector<float> line;
    if (!vert) return false;
    try {
        sums.assign(width, 0.0);
        line.assign(width, 0.0f);
    } catch (...) {
        return false;
    }
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
        float* out = vert.get() + static_cast<std::size_t>(y) * w16;
        double* sm = sums.data();
        const std::size_t ch = static_cast<std::size_t>(channels);
        for (std::size_t x = 0; x < width; ++x) {
            sm[x] += static_cast<double>(add[x * ch]) - static_cast<double>(sub[x * ch]);
            out[x] = static_cast<float>(sm[x] / divisor);
        }
    }
    // Horizontal pass, row by row.
    for (long y = 0; y < h; ++y) {
        const float* v = vert.get() + static_cast<std::size_t>(y) * w16;
        double sum = 0;
        for (long x = -r - 1; x <= r - 1; ++x) sum += v[mirror_index(x, w)];
        for (long x = 0; x < w; ++x) {
            sum += static_cast<double>(v[mirror_index(x + r, w)]) - static_cast<double>(v[mirror_index(x - r - 1, w)]);
            line[static_cast<std::size_t>(x)] = static_cast<float>(sum / divisor);
        }
        emit(static_cast<unsigned>(y), line.data());
    }
    return true;
}

}  // namespace dvk
