#include "app/menus/wb_preset_window.h"

#include "pipeline/processor/raw_processor.h"
#include "platform/log.h"

namespace dvk {

namespace {

void write_presets(const WbPresetWindowRoad& road) {
    // A failed write leaves the change in memory; it is written with the next one.
    if (!road.processor.writeWBPresetsToXMLfile(road.presetsFile))
        log_line("Could not write the white-balance presets to %s", road.presetsFile.c_str());
}

void rebuild_wb_button(const WbPresetWindowRoad& road) {
    initWbButton(road.processor, road.wbButton, road.cameraInfo ? road.cameraInfo() : std::string());
}

}  // namespace

std::string wbPresetsFile(const std::string& supportFolder) { return supportFolder + "/WBPresets.xml"; }

CreateWbPresetResult addUserWbPreset(RawProcessor& processor, const std::string& name) {
    if (processor.camera().empty()) return CreateWbPresetResult::NoCamera;
    if (name.find_first_not_of(" \t") == std::string::npos) return CreateWbPresetResult::EmptyName;
    WhiteBalancePresetList& presets = processor.wbPresets();
    for (const WhiteBalancePresets& p : presets)
        if (p.presetName == name) return CreateWbPresetResult::DuplicateName;
    if (presets.size() >= static_cast<std::size_t>(kWbMaxUserPresets)) return CreateWbPresetResult::ListFull;
    presets.push_back(WhiteBalancePresets::initWithCamera(
        processor.camera(), name, static_cast<float>(processor.evRed()), static_cast<float>(processor.evGreen()),
        static_cast<float>(processor.evBlue()), static_cast<float>(processor.evGreen2())));
    return CreateWbPresetResult::Created;
}

std::optional<std::size_t> userWbPresetIndexForTag(int tag, std::size_t presetCount) {
    const int i = tag - kWbUserTagBase;
    if (i < 0 || i >= kWbMaxUserPresets || static_cast<std::size_t>(i) >= presetCount) return std::nullopt;
    return static_cast<std::size_t>(i);
}

void removeUserWbPreset(RawProcessor& processor, std::size_t index) {
    WhiteBalancePresetList& presets = processor.wbPresets();
    if (index >= presets.size()) return;
    presets.erase(presets.begin() + static_cast<std::ptrdiff_t>(index));
    const int mode = processor.useCameraWB();
    const int removed = kWbUserTagBase + static_cast<int>(index);
    if (mode == removed) processor.setUseCameraWB(0);
    else if (mode > removed && mode < kWbVendorTagBase) processor.setUseCameraWB(mode - 1);
}

void showCreateWBPresetWindow(const WbPresetWindowRoad& road, int tag) {
    if (road.processor.camera().empty()) return;
    if (tag == 100) {
        if (road.runPresetWindow) road.runPresetWindow("Create WB Preset");
        return;
    }
    if (tag != 101) return;
    const std::optional<std::size_t> index =
        userWbPresetIndexForTag(road.wbButton.selectedWbTag(), road.processor.wbPresets().size());
    if (!index) return;
    const WhiteBalancePresets preset = road.processor.wbPresets()[*index];
    const std::string question = "Do you really want to delete preset \"" + preset.presetName + "\" for camera \"" +
                                 preset.camera + "\"?";
    if (!road.alert || road.alert("", question, {"No", "Yes"}) != 1001) return;
    removeUserWbPreset(road.processor, *index);
    write_presets(road);
    rebuild_wb_button(road);
}

WbPresetWindowAnswer closeCreateWBPresetWindow(const WbPresetWindowRoad& road, const std::string& buttonTitle,
                                               const std::string& typedName) {
    if (buttonTitle != "Ok") return WbPresetWindowAnswer::Close;
    switch (addUserWbPreset(road.processor, typedName)) {
        case CreateWbPresetResult::DuplicateName:
            if (road.alert) road.alert("", "Preset with name \"" + typedName + "\" already exists", {"Ok"});
            return WbPresetWindowAnswer::StayOpen;
        case CreateWbPresetResult::EmptyName:
            if (road.alert) road.alert("", "Please type a name for the preset", {"Ok"});
            return WbPresetWindowAnswer::StayOpen;
        case CreateWbPresetResult::NoCamera:
            return WbPresetWindowAnswer::Close;
        case CreateWbPresetResult::ListFull:
            log_line("No more than %d white-balance presets can be kept", kWbMaxUserPresets);
            return WbPresetWindowAnswer::Close;
        case CreateWbPresetResult::Created:
            break;
    }
    write_presets(road);
    rebuild_wb_button(road);
    road.wbButton.selectWbTag(static_cast<int>(road.processor.wbPresets().size()) + kWbUserTagBase - 1);
    return WbPresetWindowAnswer::Close;
}

}  // namespace dvk
