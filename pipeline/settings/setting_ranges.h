// The range of every number setting: the main window's slider range where the
// setting has a slider, else a range that keeps every develop and save sound.
// The setters of RawProcessor bring each value into its range, whichever
// road it came by (a control, a paste or import, a history record, the
// tools' --set), so what is in force is always within it.
#pragma once

#include <string_view>

namespace dvk {

struct SettingRange {
    double min = 0;
    double max = 0;
};

// The range of the setting `key` (without the "settings." prefix), or null
// for a setting that has none (strings, the engine's progress).
const SettingRange* setting_range(std::string_view key);

// `value` brought into the range of `key`: a value beyond an end (an
// infinity too) becomes that end; not-a-number keeps `current`. A key
// without a range keeps `value`.
double clamp_setting(std::string_view key, double value, double current);
int clamp_setting(std::string_view key, int value);

}  // namespace dvk
