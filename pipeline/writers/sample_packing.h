// In-place packing of float triples into narrower samples for the writers.
//
// pack_rgb_samples: float RGB (0..1) to 8- or 16-bit integers by the
// engine's float-to-integer conversion (studio range 16..240 / 4112..61680
// when asked). pack_in_place: the general form, a per-pixel packer applied on
// band_thread_count threads. `pixels` counts triples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace dvk {

void pack_rgb_samples(float* rgb, std::size_t pixels, unsigned bits, bool studio);

// Packs `pixels` float triples into `out_bytes` bytes each (at most 12), in
// place from the start of `image`. `pack` converts `n` triples at `in` into
// n x out_bytes bytes at `out` (a separate buffer).
void pack_in_place(float* image, std::size_t pixels, std::size_t out_bytes,
                   const std::function<void(const float* in, std::size_t n, std::uint8_t* out)>& pack);

// Packs `pixels` float triples as pack_in_place does, but block by block into
// scratch buffers, handing each packed block to `write` in order; a block is
// written while the next one is packed. `image` is left as it is. Returns
// false when a write returned false (no further block is written) or when
// there was nothing to write.
// With `release_packed`, the memory of the floats already packed is given
// back to the system as the blocks go (whole pages within the image; they
// read as zero afterwards), so that the written data can take its place.
bool pack_and_write(const float* image, std::size_t pixels, std::size_t out_bytes,
                    const std::function<void(const float* in, std::size_t n, std::uint8_t* out)>& pack,
                    const std::function<bool(const std::uint8_t* data, std::size_t bytes)>& write,
                    bool release_packed = false);

// Gives the whole pages within [begin, end) back to the system (they read
// as zero afterwards).
void release_pages(void* begin, void* end);

}  // namespace dvk
