#include "app/menus/menu_enabling.h"

#include <string_view>

namespace dvk {

namespace {

// The items that work on the open file.
constexpr std::string_view kNeedAFile[] = {
    "openNextFile:",          "openPreviousFile:",
    "saveFile:",              "saveFileAs:",
    "moveCurrentFileToTrash:", "moveCurrentProfileToTrash:",
    "copySettings:",
    "pasteSettings:",         "exportSettingsAs:",
    "addToHistoryAndSetDirectoryDefault:",
    "rotateImageLeft:",       "rotateImageRight:",
    "zoomToFitChanged:",      "showClippingChanged:",
    "deselectRect:",          "showCreateWBPresetWindow:",
    "deleteWBPreset:",        "createProfileMenu:",
    "showProfilingWindow:",
};

}  // namespace

bool menuItemEnabled(const std::string& actionName, const MenuEnablingState& state) {
    for (std::string_view name : kNeedAFile)
        if (actionName == name) return state.fileOpen;
    return true;
}

}  // namespace dvk
