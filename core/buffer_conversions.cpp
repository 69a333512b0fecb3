#include "core/buffer_conversions.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/band_runner.h"
#include "core/dvklib.h"
#include "core/vector_math.h"

namespace dvk {

namespace {

// clamp_rgb_float's rule for one sample.
inline float clamp_sample(float v) {
    constexpr float kMin = std::numeric_limits<float>::min();
    float r = v > 0.0f ? v : kMin;  // NaN and values <= 0
    return v < 1.0f ? r : 1.0f;     // NaN and values >= 1
}

}  // namespace

void clamp_rgb_float(float* image, unsigned width, int height) {
    if (!image || width == 0 || height <= 0) return;
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
    run_index_chunks(n, band_thread_count, std::size_t(1) << 18, [image](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            image[i] = clamp_sample(image[i]);
        }
    });
}

namespace {

// Pixels [begin, end) of rgbg_to_rgb_float, clamped as clamp_rgb_float does
// when `clamp` is set.
void rgbg_to_rgb_range(const float* src, float* dest, std::size_t begin, std::size_t end, int greenOnly, bool clamp) {
    // Chunks are read whole before their output is written, so `dest` may be
    // `src`: each chunk's output ends before the next chunk's input begins.
    constexpr std::size_t kChunk = 256;
    alignas(64) float in[kChunk * 4];
    for (std::size_t start = begin; start < end; start += kChunk) {
        const std::size_t m = end - start < kChunk ? end - start : kChunk;
        std::memcpy(in, src + start * 4, m * 4 * sizeof(float));
        float* out = dest + start * 3;
        if (greenOnly) {
            for (std::size_t i = 0; i < m; ++i) {
                out[3 * i] = in[4 * i];
                out[3 * i + 1] = in[4 * i + 1];
                out[3 * i + 2] = in[4 * i + 2];
            }
        } else {
            for (std::size_t i = 0; i < m; ++i) {
                out[3 * i] = in[4 * i];
                out[3 * i + 1] = (in[4 * i + 1] + in[4 * i + 3]) * 0.5f;
                out[3 * i + 2] = in[4 * i + 2];
            }
        }
        if (clamp)
            for (std::size_t i = 0; i < 3 * m; ++i) out[i] = clamp_sample(out[i]);
    }
}

}  // namespace

namespace {

void rgbg_to_rgb(const float* src, unsigned width, unsigned height, float* dest, int greenOnly, bool clamp) {
    if (!src || !dest) return;
    const std::size_t n = static_cast<std::size_t>(width) * height;
    const bool overlap = dest < src + n * 4 && src < dest + n * 3;
    if (overlap && dest != src) {
        rgbg_to_rgb_range(src, dest, 0, n, greenOnly, clamp);  // in order, as the chunks require
        return;
    }
    if (src != dest) {
        run_index_chunks(n, band_thread_count, std::size_t(1) << 16, [=](std::size_t begin, std::size_t end) {
            rgbg_to_rgb_range(src, dest, begin, end, greenOnly, clamp);
        });
        return;
    }
    // In place: once every pixel before p is done, the outputs of the pixels
    // [p, 4p / 3) lie below 4p, where the inputs of the first of them begin,
    // so that range can be split among the band threads. The ranges grow by a
    // third each time.
    std::size_t done = std::min<std::size_t>(n, std::size_t(1) << 16);
    rgbg_to_rgb_range(src, dest, 0, done, greenOnly, clamp);
    while (done < n) {
        const std::size_t next = std::min(n, done + done / 3);
        const std::size_t base = done;
        run_index_chunks(next - base, band_thread_count, std::size_t(1) << 15, [=](std::size_t begin, std::size_t end) {
            rgbg_to_rgb_range(src, dest, base + begin, base + end, greenOnly, clamp);
        });
        done = next;
    }
}

}  // namespace

void rgbg_to_rgb_float(const float* src, unsigned width, unsigned height, float* dest, int bits, int greenOnly) {
    rgbg_to_rgb(src, width, height, dest, greenOnly, false);
}

void rgbg_to_clamped_rgb_float(const float* src, unsigned width, unsigned height, float* dest, int greenOnly) {
    rgbg_to_rgb(src, width, height, dest, greenOnly, true);
}

AlignedBuffer<float> rgbg_to_rgb_float(const float* src, unsigned width, unsigned height, int bits, int greenOnly) {
    if (!src) return AlignedBuffer<float>();
    const std::size_t count = static_cast<std::size_t>(round_up_to_multiple(height, 16) * round_up_to_multiple(width, 16) * 3);
    AlignedBuffer<float> out = allocate_aligned<float>(count);
    if (out) rgbg_to_rgb_float(src, width, height, out.get(), bits, greenOnly);
    return out;
}

namespace {

// v * scale + offset + 0.5 in double, truncated; values outside [0, 1] are
// held to the range of the sample instead of wrapping.
template <typename T>
inline void to_integers(const float* src, std::size_t n, T* dst, double scale, double offset, double top) {
    for (std::size_t i = 0; i < n; ++i) {
        double x = static_cast<double>(src[i]) * scale + offset + 0.5;
        x = x > 0.0 ? x : 0.0;  // NaN too
        x = x < top ? x : top;
        dst[i] = static_cast<T>(static_cast<int>(x));
    }
}

DVK_SIMD_CLONES void to_8_bits(const float* src, std::size_t n, std::uint8_t* dst, bool studio) {
    to_integers(src, n, dst, studio ? 224.0 : 255.0, studio ? 16.0 : 0.0, 255.0);
}

DVK_SIMD_CLONES void to_16_bits(const float* src, std::size_t n, std::uint16_t* dst, bool studio) {
    to_integers(src, n, dst, studio ? 57568.0 : 65535.0, studio ? 4112.0 : 0.0, 65535.0);
}

}  // namespace

bool convert_rgb_float_to_bits(const float* src, unsigned width, unsigned height, void* dest, unsigned bits,
                               bool studio) {
    if (!src || !dest) return false;
    const std::size_t n = static_cast<std::size_t>(width) * height * 3;
    switch (bits) {
        case 32:
            std::memcpy(dest, src, n * sizeof(float));
            return true;
        case 16:
            to_16_bits(src, n, static_cast<std::uint16_t*>(dest), studio);
            return true;
        case 8:
            to_8_bits(src, n, static_cast<std::uint8_t*>(dest), studio);
            return true;
        default:
            return false;
    }
}

AlignedBuffer<std::uint8_t> convert_rgb_float_to_bits(const float* src, unsigned width, unsigned height,
                                                      unsigned bits, bool studio) {
    if (!src || (bits != 8 && bits != 16 && bits != 32)) return AlignedBuffer<std::uint8_t>();
    const std::size_t pixels = static_cast<std::size_t>(round_up_to_multiple(height, 16) * round_up_to_multiple(width, 16));
    AlignedBuffer<std::uint8_t> out = allocate_aligned<std::uint8_t>(pixels * 3 * (bits / 8));
    if (out) convert_rgb_float_to_bits(src, width, height, out.get(), bits, studio);
    return out;
}

}  // namespace dvk
