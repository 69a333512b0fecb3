#include "app/menus/settings_selector.h"

#include <algorithm>

#include "pipeline/processor/raw_processor.h"
#include "platform/user_defaults.h"

namespace dvk {

const std::vector<SettingsGroup>& settingsSelectorGroups() {
    static const std::vector<SettingsGroup> groups = {
        {"Exposure", {"exposure"}},
        {"White Balance", {"evBlue", "evRed", "evGreen", "evGreen2", "useCameraWB", "manualGreen2"}},
        {"Compressed Exposure", {"hlCompression", "hlRange"}},
        {"Contrast", {"contrast"}},
        {"Black Point", {"blackShift"}},
        {"Brightness", {"brightness"}},
        {"Gamma", {"gamma"}},
        {"Curve type", {"curveType"}},
        {"Cold/Warm", {"evWarmCold"}},
        {"Saturation", {"saturation"}},
        {"Sharpness", {"sharpness", "sharpnessEnabled"}},
        {"Local Contrast", {"localContrast", "localContrastEnabled"}},
        {"Interpolation", {"interpolation"}},
        {"Highlights Recovery", {"highRecoveryEV", "highRecoveryEnabled", "highRecoveryGuessTone"}},
        {"Blur chroma", {"blurAB"}},
        {"Remove dot-noise", {"cleanDotNoise"}},
        {"Save Format", {"saveFormat"}},
        {"Custom Profile", {"customRawProfile"}},
        {"Color Filter", {"filterName"}},
    };
    return groups;
}

std::vector<std::string> keysOfSettingsGroup(std::string_view title) {
    for (const SettingsGroup& g : settingsSelectorGroups())
        if (title == g.title) return {g.keys.begin(), g.keys.end()};
    return {};
}

SettingsSelector::SettingsSelector() {
    for (const SettingsGroup& g : settingsSelectorGroups()) checkboxes_.push_back({g.title, true});
}

void SettingsSelector::setChecked(std::string_view title, bool on) {
    for (Checkbox& c : checkboxes_)
        if (c.title == title) c.on = on;
}

bool SettingsSelector::isChecked(std::string_view title) const {
    for (const Checkbox& c : checkboxes_)
        if (c.title == title) return c.on;
    return false;
}

void SettingsSelector::restoreDisabledSettings(UserDefaults& defaults, RawProcessor& processor) {
    const std::vector<std::string> disabled = defaults.stringArrayForKey(kDisabledSettingsKey).value_or(
        std::vector<std::string>());
    for (Checkbox& c : checkboxes_) c.on = std::find(disabled.begin(), disabled.end(), c.title) == disabled.end();
    setDisabledSettings(processor);
}

void SettingsSelector::saveDisabledSettings(UserDefaults& defaults) const {
    std::vector<std::string> off;
    for (const Checkbox& c : checkboxes_)
        if (!c.on) off.push_back(c.title);
    defaults.setStringArray(kDisabledSettingsKey, off);
    defaults.synchronize();
}

std::vector<std::string> SettingsSelector::disabledKeys() const {
    std::vector<std::string> keys;
    for (const Checkbox& c : checkboxes_)
        if (!c.on)
            for (std::string& k : keysOfSettingsGroup(c.title)) keys.push_back(std::move(k));
    return keys;
}

void SettingsSelector::setDisabledSettings(RawProcessor& processor) const {
    processor.disabledSettings() = disabledKeys();
}

}  // namespace dvk
