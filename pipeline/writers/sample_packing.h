// In-place packing of float samples (0..1) into 8- or 16-bit integers for the
// writers: v x scale + offset + 0.5 truncated, studio range 16..235 (8 bits)
// or 4112..61680 (16 bits).
#pragma once

#include <cstddef>

namespace dvk {

void pack_rgb_samples(float* samples, std::size_t count, unsigned bits, bool studio);

}  // namespace dvk
