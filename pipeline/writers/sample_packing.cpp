#include "pipeline/writers/sample_packing.h"

#include <cstring>

#include "pipeline/aligned_buffer.h"
#include "pipeline/band_runner.h"
#include "pipeline/buffer_conversions.h"
#include "pipeline/dvklib.h"

namespace dvk {

void pack_in_place(float* image, std::size_t pixels, std::size_t out_bytes,
                   const std::function<void(const float* in, std::size_t n, std::uint8_t* out)>& pack) {
    // Block by block: a block is packed (on several threads) into a scratch
    // buffer, then copied to its place. The place of block k lies before the
    // floats of block k itself and over floats of earlier blocks only, which
    // have all been read by then.
    constexpr std::size_t kBlock = std::size_t(1) << 19;  // pixels
    const std::size_t block = pixels < kBlock ? pixels : kBlock;
    if (block == 0) return;
    AlignedBuffer<std::uint8_t> scratch = allocate_aligned<std::uint8_t>(block * out_bytes);
    std::uint8_t* out = reinterpret_cast<std::uint8_t*>(image);
    constexpr std::size_t kChunk = 4096;  // pixels a thread packs at once
    for (std::size_t start = 0; start < pixels; start += block) {
        const std::size_t n = pixels - start < block ? pixels - start : block;
        const float* in = image + 3 * start;
        if (scratch) {
            const unsigned chunks = static_cast<unsigned>((n + kChunk - 1) / kChunk);
            run_row_chunks(chunks, band_thread_count, [&](unsigned first, unsigned count) {
                const std::size_t b = std::size_t(first) * kChunk;
                const std::size_t e = std::min(n, std::size_t(first + count) * kChunk);
                pack(in + 3 * b, e - b, scratch.get() + b * out_bytes);
            });
            std::memmove(out + start * out_bytes, scratch.get(), n * out_bytes);
        } else {
            // Short of memory: one small block at a time on this thread.
            alignas(64) std::uint8_t tmp[kChunk * 12];
            for (std::size_t b = 0; b < n; b += kChunk) {
                const std::size_t m = n - b < kChunk ? n - b : kChunk;
                pack(in + 3 * b, m, tmp);
                std::memmove(out + (start + b) * out_bytes, tmp, m * out_bytes);
            }
        }
    }
}

void pack_rgb_samples(float* rgb, std::size_t pixels, unsigned bits, bool studio) {
    if (bits != 8 && bits != 16) return;
    pack_in_place(rgb, pixels, 3 * (bits / 8), [bits, studio](const float* in, std::size_t n, std::uint8_t* out) {
        convert_rgb_float_to_bits(in, static_cast<unsigned>(n), 1, out, bits, studio);
    });
}

}  // namespace dvk
