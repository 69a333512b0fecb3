// The built-in table of camera white-balance presets, for cameras whose raw
// files carry no white-balance table that the decoder reads.
//
// Rows of one camera stand together; a row names the camera as the processor
// does ("make model"), the preset, and the four channel multipliers R, G, B,
// G2 with G = 1.
#pragma once

#include <span>
#include <string>

namespace dvk {

struct BuiltinWbPresetRow {
    const char* camera;
    const char* name;
    float red, green, blue, green2;
};

// The whole table, in table order.
std::span<const BuiltinWbPresetRow> builtinWbPresetTable();

// The rows whose camera text equals `camera` exactly (letter case counted).
std::span<const BuiltinWbPresetRow> builtinWbPresetsFor(const std::string& camera);

}  // namespace dvk
