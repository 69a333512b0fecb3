// In-place packing of float RGB samples (0..1) into 8- or 16-bit integers for
// the writers, by the float-to-integer conversion of the engine (studio range
// 16..240 / 4112..61680 when asked). `pixels` is the count of RGB triples.
#pragma once

#include <cstddef>

namespace dvk {

void pack_rgb_samples(float* rgb, std::size_t pixels, unsigned bits, bool studio);

}  // namespace dvk
