#include "pipeline/settings/setting_ranges.h"

#include <algorithm>
#include <cmath>

namespace dvk {

namespace {

struct RangeEntry {
    const char* key;
    SettingRange range;
    bool isSwitch;  // on or off: any value but 0 is 1
};

constexpr RangeEntry kRanges[] = {
    // The main window's sliders.
    {"exposure", {-5, 5}, false},
    {"hlCompression", {-2, 5}, false},
    {"hlRange", {0, 5}, false},
    {"evWarmCold", {-1, 1}, false},
    {"highRecoveryEV", {-2, 2}, false},
    {"blackShift", {-5, 5}, false},
    {"brightness", {0, 100}, false},
    {"contrast", {-30, 40}, false},
    {"saturation", {-50, 50}, false},
    {"localContrast", {0, 50}, false},
    {"sharpness", {0, 50}, false},
    {"noise", {0, 100}, false},
    {"gamma", {1, 3}, false},
    // The white-balance fields: a thousandfold gain either way.
    {"evRed", {-10, 10}, false},
    {"evGreen", {-10, 10}, false},
    {"evBlue", {-10, 10}, false},
    {"evGreen2", {-10, 10}, false},
    // Values without a control. The contrast curve divides by log(valueZ),
    // so it stays clear of 1; the local-contrast radius is this factor times
    // the amount.
    {"valueZ", {1.1, 10}, false},
    {"sharpnessRadius", {0, 4}, false},
    {"tiffXResolution", {1, 65535}, false},
    {"tiffYResolution", {1, 65535}, false},
    // Codes: the pop-ups' items (a white-balance preset or filter the lists
    // do not hold is taken as their rules say).
    {"useCameraWB", {0, 9999}, false},
    {"curveType", {0, 3}, false},
    {"interpolation", {0, 5}, false},
    {"saveFormat", {0, 23}, false},
    {"bwMode", {0, 2999}, false},
    {"rotation", {0, 17}, false},
    {"comprQuality", {-1, 100}, false},
    // Switches.
    {"manualGreen2", {0, 1}, true},
    {"uplab", {0, 1}, true},
    {"blurAB", {0, 1}, true},
    {"localContrastEnabled", {0, 1}, true},
    {"sharpnessEnabled", {0, 1}, true},
    {"noiseEnabled", {0, 1}, true},
    {"cleanDotNoise", {0, 1}, true},
    {"highRecoveryEnabled", {0, 1}, true},
    {"highRecoveryGuessTone", {0, 1}, true},
    {"raw", {0, 1}, true},
    {"labOptimize", {0, 1}, true},
    {"dontOverwriteOnSave", {0, 1}, true},
};

const RangeEntry* find_range(std::string_view key) {
    for (const RangeEntry& e : kRanges)
        if (key == e.key) return &e;
    return nullptr;
}

}  // namespace

const SettingRange* setting_range(std::string_view key) {
    const RangeEntry* e = find_range(key);
    return e ? &e->range : nullptr;
}

double clamp_setting(std::string_view key, double value, double current) {
    const RangeEntry* e = find_range(key);
    if (!e) return value;
    if (std::isnan(value)) return current;
    if (e->isSwitch) return value != 0 ? 1 : 0;
    return std::clamp(value, e->range.min, e->range.max);
}

int clamp_setting(std::string_view key, int value) {
    const RangeEntry* e = find_range(key);
    if (!e) return value;
    if (e->isSwitch) return value != 0 ? 1 : 0;
    return std::clamp(value, static_cast<int>(e->range.min), static_cast<int>(e->range.max));
}

}  // namespace dvk
