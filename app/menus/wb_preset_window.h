// The user's white-balance presets: the small modal window that makes one
// from the current EVs, and deleting the one selected in the pop-up. Both
// keep "WBPresets.xml" in the support folder in step with the processor's
// wbPresets and rebuild the pop-up.
//
// The window itself (a name field, "Ok" and "Cancel") is the window layer's;
// it calls closeCreateWBPresetWindow with the pressed button's title and the
// typed name and closes when told to.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/menus/wb_preset_menu.h"

namespace dvk {

class RawProcessor;

// The alert layer: title, text and buttons; answers 1000 + the button's position.
using AlertFunction =
    std::function<int(const std::string& title, const std::string& text, const std::vector<std::string>& buttons)>;

// support folder + "/WBPresets.xml".
std::string wbPresetsFile(const std::string& supportFolder);

enum class CreateWbPresetResult { Created, DuplicateName, EmptyName, NoCamera, ListFull };

// Appends a preset named `name` for the processor's camera with its current
// EVs (single precision). A name that any preset of any camera already has is
// refused, so is an empty one.
CreateWbPresetResult addUserWbPreset(RawProcessor& processor, const std::string& name);

// The index in wbPresets of a pop-up tag, when it names an existing user preset.
std::optional<std::size_t> userWbPresetIndexForTag(int tag, std::size_t presetCount);

// Removes user preset `index`; a white-balance mode that names it becomes
// manual (its EVs stay), one that names a later preset follows it down.
void removeUserWbPreset(RawProcessor& processor, std::size_t index);

struct WbPresetWindowRoad {
    RawProcessor& processor;
    WbButtonView& wbButton;
    std::string presetsFile;                           // wbPresetsFile(support folder)
    std::function<std::string()> cameraInfo;           // the exiftool text of the open file
    AlertFunction alert;
    // Shows the preset window titled `title` modally; returns when the modal
    // run has stopped (the window is then ordered out).
    std::function<void(const std::string& title)> runPresetWindow;
};

// showCreateWBPresetWindow: tag 100 opens the window "Create WB Preset";
// tag 101 asks, then deletes the pop-up's selected user preset. Nothing
// without a camera.
void showCreateWBPresetWindow(const WbPresetWindowRoad& road, int tag);

enum class WbPresetWindowAnswer { Close, StayOpen };

// closeCreateWBPresetWindow: with "Ok" creates the preset (or tells why not
// and keeps the window open), writes the file, rebuilds the pop-up and
// selects the new preset; any other button just closes.
WbPresetWindowAnswer closeCreateWBPresetWindow(const WbPresetWindowRoad& road, const std::string& buttonTitle,
                                               const std::string& typedName);

}  // namespace dvk
