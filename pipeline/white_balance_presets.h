// White-balance presets: a named set of four channel exposures (EV) for one
// camera, and the user preset file "WBPresets.xml", a keyed archive in XML
// property-list form ($archiver / $objects / $top) whose top key "wbPresets"
// holds the array of presets. A preset is coded with the keys "Camera" and
// "PresetName" (string objects, absent strings as the null object) and
// "evRed", "evGreen", "evBlue", "evGreen2" (floats).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dvk {

class WhiteBalancePresets {
public:
    // An empty preset: no camera, no name, four EVs of 0.
    WhiteBalancePresets() = default;
    static WhiteBalancePresets initWithCamera(std::optional<std::string> camera,
                                              std::optional<std::string> presetName, float red, float green,
                                              float blue, float green2);

    const std::optional<std::string>& camera() const { return camera_; }
    void setCamera(std::optional<std::string> v) { camera_ = std::move(v); }
    const std::optional<std::string>& presetName() const { return presetName_; }
    void setPresetName(std::optional<std::string> v) { presetName_ = std::move(v); }
    float red() const { return red_; }
    void setRed(float v) { red_ = v; }
    float green() const { return green_; }
    void setGreen(float v) { green_ = v; }
    float blue() const { return blue_; }
    void setBlue(float v) { blue_ = v; }
    float green2() const { return green2_; }
    void setGreen2(float v) { green2_ = v; }

    bool operator==(const WhiteBalancePresets&) const = default;

private:
    std::optional<std::string> camera_;
    std::optional<std::string> presetName_;
    float red_ = 0;
    float green_ = 0;
    float blue_ = 0;
    float green2_ = 0;
};

using WhiteBalancePresetList = std::vector<WhiteBalancePresets>;

// The keyed archive of `presets` under "wbPresets", as XML property-list text.
std::string archive_wb_presets(const WhiteBalancePresetList& presets);
// The presets of a keyed archive (XML or binary property list); nullopt when
// the data is no such archive.
std::optional<WhiteBalancePresetList> unarchive_wb_presets(std::string_view data);

// Writes the archive atomically; false when the file cannot be written.
bool write_wb_presets_file(const std::string& path, const WhiteBalancePresetList& presets);
// nullopt when the file is missing or unreadable.
std::optional<WhiteBalancePresetList> read_wb_presets_file(const std::string& path);

}  // namespace dvk
