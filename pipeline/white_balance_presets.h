// A white-balance preset: four channel exposures (EV) named for a camera.
// User presets live in "WBPresets.xml"; vendor presets come from the decoder.
#pragma once

#include <string>

namespace dvk {

struct WhiteBalancePresets {
    std::string camera;      // make and model the preset was made for
    std::string presetName;  // name shown to the user
    float red = 0, green = 0, blue = 0, green2 = 0;
};

}  // namespace dvk
