// Camera-vendor white-balance presets of the open file, from (in this order
// of preference) the decoder's white-balance table, the built-in table, or
// the metadata text that exiftool printed for the file.
//
// Presets are EVs: red = log2(R / G), green = 0, blue = log2(B / G),
// green2 = log2(G2 / G), in single precision, from multipliers of any scale.
// Multipliers that are not finite and positive would give infinite or NaN EVs:
// such an entry or line is refused (and logged); a zero G2 stands for G.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "pipeline/settings/white_balance_presets.h"

namespace dvk {

struct DVKLib;

// The name of a decoder white-balance index (the EXIF light sources, the
// vendors' extra indices; "Unknown" for any other).
const char* vendorWbPresetName(int index);

// red, green, blue, green2 in EV; nullopt unless every multiplier is finite
// and positive (a zero g2 first becomes g).
std::optional<std::array<float, 4>> wbEvsFromMultipliers(float r, float g, float b, float g2);

// The decoder's table: one preset per index whose four coefficients (R, G, B,
// G2) are not all zero, named by vendorWbPresetName.
using LibRawWbCoeffs = int[256][4];
WhiteBalancePresetList vendorPresetsFromLibRaw(const std::string& camera, const LibRawWbCoeffs& coeffs);
// The coefficients of the file loaded into `d` (null without a decoder).
const LibRawWbCoeffs* libRawWbCoeffs(const DVKLib* d);

// The rows of the built-in table whose camera is `camera`.
WhiteBalancePresetList vendorPresetsFromBuiltinTable(const std::string& camera);

// The exiftool lines of `info` (one "Tag: value" a line). Four kinds, taken in
// turn; a kind with two or more lines first drops what the earlier kinds gave:
//   WB_RGGBLevels<name>: R G G2 B
//   WB_RGBLevels<name>: R G B             (green2 0)
//   WB_RBLevels<name>: R B [G [G2]]       (G and G2 256 when absent; G2 = G when only G is given)
//   KelvinWB<any>: K x R B                (name "Daylight" for 5205, else "<K>K";
//                                          red = log2 R, blue = log2 B)
// The kind is told by the tag name alone; a line without all its numbers, or
// whose name comes out empty, is skipped.
WhiteBalancePresetList vendorPresetsFromCameraInfo(const std::string& camera, const std::string& info);

}  // namespace dvk
