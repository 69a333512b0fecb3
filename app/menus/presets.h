// Named presets: settings files in the "Presets" folder of the support
// folder, offered in the presets pop-up of the main window.
//
// The pop-up holds item 0 (a placeholder the window shows while no preset is
// chosen), one item per preset file (tag 2) in file-name order, a separator,
// "New..." (tag 0) and "Delete" (tag 1). An item keeps the name of its file,
// so a preset whose extension is written "DVKS" is found again as it is.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace dvk {

inline constexpr int kPresetNewTag = 0;
inline constexpr int kPresetDeleteTag = 1;
inline constexpr int kPresetItemTag = 2;
inline constexpr int kPresetPlaceholderTag = -1;
inline constexpr int kPresetSeparatorTag = -2;
inline constexpr const char* kPresetPlaceholderTitle = "Presets";

// <support>/Presets.
std::string presetsFolder(const std::string& supportFolder);
// <support>/Presets/<name>, with ".dvks" appended unless the name ends in
// "dvks" in any case.
std::string getPresetFileFromName(const std::string& supportFolder, const std::string& name);
// The title a typed name gets in the pop-up (without its "dvks" extension).
std::string presetTitleForName(const std::string& name);
// Why a typed name cannot name a preset file; nullopt when it can. Refused:
// blank names, "." and "..", a "/" anywhere and control characters, so that
// nothing is ever written outside the Presets folder.
std::optional<std::string> presetNameProblem(const std::string& name);

struct PresetMenuItem {
    std::string title;
    int tag = kPresetPlaceholderTag;
    std::string file;  // the preset's file (tag 2 only)
};

class PresetsMenu {
public:
    PresetsMenu();

    // createPresetsMenu: makes the folder when nothing is at its path, then
    // lists it: every file with the extension "dvks" (any case), sorted by
    // compareFileNames in the user's locale, then the separator, "New..."
    // and "Delete". An unreadable folder is logged and leaves item 0 alone.
    // currentPreset becomes 0.
    void rebuild(const std::string& supportFolder);

    const std::vector<PresetMenuItem>& items() const { return items_; }
    std::size_t count() const { return items_.size(); }
    const PresetMenuItem* item(std::size_t index) const;
    std::size_t currentPreset() const { return currentPreset_; }
    void setCurrentPreset(std::size_t index) { currentPreset_ = index; }
    // The preset the Delete item acts on: the one chosen last, when there is one.
    const PresetMenuItem* presetToDelete() const;
    // The preset item whose title is `title` (items 1 to count - 4).
    const PresetMenuItem* presetTitled(const std::string& title) const;

private:
    std::vector<PresetMenuItem> items_;
    std::size_t currentPreset_ = 0;
};

}  // namespace dvk
