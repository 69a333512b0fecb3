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

}  // namespace dvk
