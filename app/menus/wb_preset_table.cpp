#include "app/menus/wb_preset_table.h"

#include <cstring>
#include <iterator>

namespace dvk {

namespace {

// Camera model, preset name, R, G, B, G2.
//
// The complete table has 1031 rows for the cameras below. Only the first
// row is at hand in this source tree; the names and multipliers of the other
// 1030 are not, and guessed values would put wrong colours on the menu, so
// until they are supplied these cameras get no built-in presets:
//   "Nikon 1 AW1" (further rows), "Nikon 1 J1", "Nikon 1 J2", "Nikon 1 J3",
//   "Nikon 1 S1", "Nikon 1 V1", "Nikon 1 V2", "Nikon COOLPIX A",
//   "Nikon COOLPIX P330", "Nikon COOLPIX P340", "Nikon COOLPIX P6000",
//   "Nikon COOLPIX P7000", "Nikon COOLPIX P7100", "Nikon COOLPIX P7700",
//   "Nikon COOLPIX P7800", "Nikon D1", "Nikon D100", "Nikon D1H", "Nikon D1X",
//   "Nikon D200", "Nikon D2H", "Nikon D2HS", "Nikon D2X", "Nikon D2XS",
//   "Nikon D3", "Nikon D300", "Nikon D3000", "Nikon D300S", "Nikon D3100",
//   "Nikon D3200", "Nikon D3300", "Nikon D3S", "Nikon D3X", "Nikon D4",
//   "Nikon D40", "Nikon D40X", "Nikon D4S", "Nikon D50", "Nikon D5000",
//   "Nikon D5100", "Nikon D5200", "Nikon D5300", "Nikon D60", "Nikon D600",
//   "Nikon D610", "Nikon D70", "Nikon D700", "Nikon D750", "Nikon D7000",
//   "Nikon D70S", "Nikon D7100", "Nikon D80", "Nikon D800", "Nikon D800E",
//   "Nikon D90", "Nikon DF", "Nikon E5400", "Nikon E5700", "Nikon E8800",
//   "Nikon Z 7".
// Rows added later keep this form and keep the rows of a camera together.
constexpr BuiltinWbPresetRow kRows[] = {
    {"Nikon 1 AW1", "Direct Sunlight, 5200K", 2.24164f, 1.0f, 1.61545f, 1.0f},
};

}  // namespace

std::span<const BuiltinWbPresetRow> builtinWbPresetTable() { return kRows; }

std::span<const BuiltinWbPresetRow> builtinWbPresetsFor(const std::string& camera) {
    const BuiltinWbPresetRow* first = std::begin(kRows);
    while (first != std::end(kRows) && camera != first->camera) ++first;
    const BuiltinWbPresetRow* last = first;
    while (last != std::end(kRows) && camera == last->camera) ++last;
    return {first, last};
}

}  // namespace dvk
