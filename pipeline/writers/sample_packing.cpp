#include "pipeline/writers/sample_packing.h"

#include <cstdint>
#include <cstring>

#include "pipeline/buffer_conversions.h"

namespace dvk {

void pack_rgb_samples(float* rgb, std::size_t pixels, unsigned bits, bool studio) {
    if (bits != 8 && bits != 16) return;
    const std::size_t bytes_per_pixel = 3 * (bits / 8);
    // Each packed block lands at or before the floats it came from, and those
    // are read before the block is written back.
    constexpr std::size_t kBlock = 2048;
    alignas(64) std::uint8_t tmp[kBlock * 6];
    std::uint8_t* out = reinterpret_cast<std::uint8_t*>(rgb);
    for (std::size_t start = 0; start < pixels; start += kBlock) {
        const std::size_t n = pixels - start < kBlock ? pixels - start : kBlock;
        convert_rgb_float_to_bits(rgb + 3 * start, static_cast<unsigned>(n), 1, tmp, bits, studio);
        std::memmove(out + start * bytes_per_pixel, tmp, n * bytes_per_pixel);
    }
}

}  // namespace dvk
