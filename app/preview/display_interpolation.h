// Rows of 16-bit RGB pixels interpolated in a display table, tetrahedrally,
// into 32-bit pixels 0xffRRGGBB. The table holds kDisplayGrid^3 nodes (red
// outer, blue inner) of four floats each: blue, green, red on the 0..255
// scale and 255 (the alpha, which so comes out opaque). The AVX2 build, where
// the processor has it, gives the same pixels as the plain one.
#pragma once

#include <cstdint>

namespace dvk {

inline constexpr int kDisplayGrid = 33;

void interpolateDisplayRow(const float* table, const std::uint16_t* src, std::uint32_t* out, unsigned width);
// The plain build alone, for comparisons.
void interpolateDisplayRowPlain(const float* table, const std::uint16_t* src, std::uint32_t* out, unsigned width);

}  // namespace dvk
