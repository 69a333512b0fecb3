#include "pipeline/writers/sample_packing.h"

#include <cstdint>
#include <cstring>

namespace dvk {

namespace {

template <typename T>
void pack(float* samples, std::size_t count, double scale, double offset) {
    T* dst = reinterpret_cast<T*>(samples);
    // Each output lands at or before the input it comes from; work in blocks
    // through a small stack buffer so the loop vectorises without aliasing.
    constexpr std::size_t kBlock = 1024;
    T tmp[kBlock];
    for (std::size_t start = 0; start < count; start += kBlock) {
        std::size_t n = count - start < kBlock ? count - start : kBlock;
        const float* src = samples + start;
        for (std::size_t i = 0; i < n; ++i)
            tmp[i] = static_cast<T>(static_cast<std::int32_t>(static_cast<double>(src[i]) * scale + offset + 0.5));
        std::memmove(dst + start, tmp, n * sizeof(T));
    }
}

}  // namespace

void pack_rgb_samples(float* samples, std::size_t count, unsigned bits, bool studio) {
    if (bits == 16)
        pack<std::uint16_t>(samples, count, studio ? 57568.0 : 65535.0, studio ? 4112.0 : 0.0);
    else if (bits == 8)
        pack<std::uint8_t>(samples, count, studio ? 224.0 : 255.0, studio ? 16.0 : 0.0);
}

}  // namespace dvk
