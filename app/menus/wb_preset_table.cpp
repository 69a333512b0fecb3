#include "app/menus/wb_preset_table.h"

#include <strings.h>

#include <cstdint>
#include <cstdio>
#include <iterator>

namespace dvk {

namespace {

struct PresetCamera {
    const char* camera;
    std::uint16_t first;  // index of its first row
    std::uint16_t count;
};

// A row: its name, the fine-tuning step the name carries, R and B (G and G2
// are 1 in every row).
struct PresetRow {
    std::uint8_t name;  // index into kPresetNames
    std::int8_t tuning;
    float red, blue;
};

#include "app/menus/wb_preset_table_data.inc"

std::string row_name(const PresetRow& row) {
    std::string name = kPresetNames[row.name];
    if (row.tuning != 0) {
        char step[8];
        std::snprintf(step, sizeof step, ", %+d", row.tuning);
        name += step;
    }
    return name;
}

}  // namespace

std::vector<std::string_view> builtinWbPresetCameras() {
    std::vector<std::string_view> cameras;
    for (const PresetCamera& c : kCameras) cameras.emplace_back(c.camera);
    return cameras;
}

std::size_t builtinWbPresetRowCount() { return std::size(kRows); }

std::vector<BuiltinWbPresetRow> builtinWbPresetsFor(std::string_view camera) {
    std::vector<BuiltinWbPresetRow> rows;
    for (const PresetCamera& c : kCameras) {
        const std::string_view name(c.camera);
        if (name.size() != camera.size() || strncasecmp(name.data(), camera.data(), name.size()) != 0) continue;
        rows.reserve(c.count);
        for (unsigned i = c.first; i < c.first + c.count; ++i) {
            const PresetRow& row = kRows[i];
            rows.push_back({name, row_name(row), row.red, 1.0f, row.blue, 1.0f});
        }
        break;
    }
    return rows;
}

}  // namespace dvk
