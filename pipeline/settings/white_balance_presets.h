// A white-balance preset: four channel exposures (EV) named for a camera.
// User presets live in "WBPresets.xml"; vendor presets come from the decoder.
//
// "WBPresets.xml" is a keyed archive in XML property-list form ($archiver /
// $objects / $top) whose top key "wbPresets" holds the array of presets. A
// preset is coded with the keys "Camera" and "PresetName" (string objects)
// and "evRed", "evGreen", "evBlue", "evGreen2" (floats).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dvk {

struct WhiteBalancePresets {
    std::string camera;      // make and model the preset was made for
    std::string presetName;  // name shown to the user
    float red = 0, green = 0, blue = 0, green2 = 0;

    static WhiteBalancePresets initWithCamera(std::string camera, std::string presetName, float red, float green,
                                              float blue, float green2) {
        return WhiteBalancePresets{std::move(camera), std::move(presetName), red, green, blue, green2};
    }
    bool operator==(const WhiteBalancePresets&) const = default;
};

using WhiteBalancePresetList = std::vector<WhiteBalancePresets>;

// The keyed archive of `presets` under "wbPresets", as XML property-list text.
std::string archive_wb_presets(const WhiteBalancePresetList& presets);
// The presets of a keyed archive (XML or binary property list); nullopt when
// the data is no such archive. The null object reads as an empty string.
std::optional<WhiteBalancePresetList> unarchive_wb_presets(std::string_view data);

// Writes the archive atomically; false when the file cannot be written.
bool write_wb_presets_file(const std::string& path, const WhiteBalancePresetList& presets);
// nullopt when the file is missing or unreadable.
std::optional<WhiteBalancePresetList> read_wb_presets_file(const std::string& path);

}  // namespace dvk
