// The gamut map of an output profile: the CIELab colour of every point on the
// surface of the 8-bit RGB cube (any component 0 or 255; red outer, green
// middle, blue inner), stored as byte triples (L x 2.55, a + 128, b + 128,
// each clamped to 0..255 and truncated). Also the built-in ICC bytes that
// the output settings point at.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dvk {

struct DVKLib;

inline constexpr std::size_t kGamutPoints = 390152;  // 256^3 - 254^3
// Bytes of the map: the points rounded up to a multiple of 16, three bytes each.
inline constexpr std::size_t kGamutMapBytes = ((kGamutPoints + 15) / 16) * 16 * 3;

// Fills `map` (kGamutMapBytes, zeroed by the caller) for the named profile;
// false (map left as it was) when no transform can be made.
bool fill_gamut_map(const DVKLib* d, const char* profile_name, std::uint8_t* map);
// The surface points in map order as floats component / 255 (3 per point).
void gamut_surface_points(float* rgb);

struct IccBytes {
    const char* data = nullptr;
    std::uint32_t size = 0;
};
// The ICC bytes of a built-in profile (null data when it has none).
IccBytes builtin_icc_bytes(const char* name);

}  // namespace dvk
