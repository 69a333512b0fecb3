#include "pipeline/writers/sample_packing.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include <sys/mman.h>

#include "core/aligned_buffer.h"
#include "core/band_runner.h"
#include "core/buffer_conversions.h"
#include "core/dvklib.h"

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

void release_pages(void* begin, void* end) {
    constexpr std::uintptr_t kPage = 4096;
    const std::uintptr_t b = (reinterpret_cast<std::uintptr_t>(begin) + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t e = reinterpret_cast<std::uintptr_t>(end) & ~(kPage - 1);
    if (e > b) madvise(reinterpret_cast<void*>(b), e - b, MADV_DONTNEED);
}

bool pack_and_write(const float* image, std::size_t pixels, std::size_t out_bytes,
                    const std::function<void(const float* in, std::size_t n, std::uint8_t* out)>& pack,
                    const std::function<bool(const std::uint8_t* data, std::size_t bytes)>& write,
                    bool release_packed) {
    if (pixels == 0 || out_bytes == 0) return false;
    constexpr std::size_t kBlock = std::size_t(1) << 20;  // pixels
    constexpr std::size_t kChunk = 4096;                  // pixels a thread packs at once
    const std::size_t block = pixels < kBlock ? pixels : kBlock;
    AlignedBuffer<std::uint8_t> scratch[2] = {allocate_aligned<std::uint8_t>(block * out_bytes),
                                              allocate_aligned<std::uint8_t>(block * out_bytes)};
    if (!scratch[0] || !scratch[1]) {
        // Short of memory: one small block at a time on this thread.
        alignas(64) std::uint8_t tmp[kChunk * 12];
        for (std::size_t b = 0; b < pixels; b += kChunk) {
            const std::size_t m = pixels - b < kChunk ? pixels - b : kChunk;
            pack(image + 3 * b, m, tmp);
            if (!write(tmp, m * out_bytes)) return false;
        }
        return true;
    }
    // Step k packs block k on the packing threads while one more thread
    // writes block k - 1 (packed into the other scratch buffer by step k - 1).
    const int packers = band_thread_count > 2 ? band_thread_count - 1 : 1;
    const std::size_t blocks = (pixels + block - 1) / block;
    bool ok = true;
    for (std::size_t k = 0; k <= blocks && ok; ++k) {
        const std::size_t start = k * block;
        const std::size_t n = k < blocks ? std::min(block, pixels - start) : 0;
        const unsigned chunks = static_cast<unsigned>((n + kChunk - 1) / kChunk);
        const int parts = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(packers), chunks));
        std::uint8_t* dest = scratch[k % 2].get();
        const std::uint8_t* previous = scratch[(k + 1) % 2].get();
        const std::size_t previous_bytes = k > 0 ? std::min(block, pixels - (k - 1) * block) * out_bytes : 0;
        run_on_threads(1 + parts, [&](int index) {
            if (index == 0) {
                if (previous_bytes && !write(previous, previous_bytes)) ok = false;
                return;
            }
            // Pack task `index` takes its share of the block's chunks.
            const std::size_t p = static_cast<std::size_t>(index - 1);
            const std::size_t first = chunks * p / static_cast<std::size_t>(parts);
            const std::size_t last = chunks * (p + 1) / static_cast<std::size_t>(parts);
            const std::size_t b = first * kChunk, e = std::min(n, last * kChunk);
            if (e > b) pack(image + 3 * (start + b), e - b, dest + b * out_bytes);
        });
        // The block's floats are packed: their pages can hold the file's data.
        if (release_packed && n)
            release_pages(const_cast<float*>(image + 3 * start), const_cast<float*>(image + 3 * (start + n)));
    }
    return ok;
}

void pack_rgb_samples(float* rgb, std::size_t pixels, unsigned bits, bool studio) {
    if (bits != 8 && bits != 16) return;
    pack_in_place(rgb, pixels, 3 * (bits / 8), [bits, studio](const float* in, std::size_t n, std::uint8_t* out) {
        convert_rgb_float_to_bits(in, static_cast<unsigned>(n), 1, out, bits, studio);
    });
}

}  // namespace dvk
