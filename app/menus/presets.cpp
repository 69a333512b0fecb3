#include "app/menus/presets.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <locale>

#include "app/batch/file_names.h"
#include "pipeline/settings/settings_file.h"
#include "platform/folder_functions.h"
#include "platform/log.h"

namespace dvk {

namespace {

bool equals_ignoring_case(const std::string& a, const char* b) {
    return a.size() == std::strlen(b) && std::equal(a.begin(), a.end(), b, [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool has_settings_extension(const std::string& name) {
    return equals_ignoring_case(path_extension(name), kSettingsExtension);
}

std::locale user_locale() {
    try {
        return std::locale("");
    } catch (const std::exception&) {
        return std::locale::classic();
    }
}

bool is_file_or_link_to_file(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace

std::string presetsFolder(const std::string& supportFolder) { return supportFolder + "/Presets"; }

std::string getPresetFileFromName(const std::string& supportFolder, const std::string& name) {
    std::string path = presetsFolder(supportFolder) + "/" + name;
    if (!has_settings_extension(name)) path += std::string(".") + kSettingsExtension;
    return path;
}

std::string presetTitleForName(const std::string& name) {
    if (!has_settings_extension(name)) return name;
    return name.substr(0, name.size() - std::strlen(kSettingsExtension) - 1);
}

std::optional<std::string> presetNameProblem(const std::string& name) {
    const bool blank = std::all_of(name.begin(), name.end(), [](char c) { return c == ' ' || c == '\t'; });
    if (blank) return std::string("The preset needs a name.");
    if (name == "." || name == ".." || presetTitleForName(name).empty())
        return "\"" + name + "\" cannot name a preset.";
    if (name.find('/') != std::string::npos) return std::string("A preset name cannot hold \"/\".");
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return std::string("A preset name cannot hold control characters.");
    return std::nullopt;
}

PresetsMenu::PresetsMenu() { items_.push_back({kPresetPlaceholderTitle, kPresetPlaceholderTag, {}}); }

const PresetMenuItem* PresetsMenu::item(std::size_t index) const {
    return index < items_.size() ? &items_[index] : nullptr;
}

const PresetMenuItem* PresetsMenu::presetToDelete() const {
    if (items_.size() < 5 || currentPreset_ == 0 || currentPreset_ >= items_.size() - 3) return nullptr;
    return &items_[currentPreset_];
}

const PresetMenuItem* PresetsMenu::presetTitled(const std::string& title) const {
    if (items_.size() < 5) return nullptr;
    for (std::size_t i = 1; i + 3 < items_.size(); ++i)
        if (items_[i].title == title) return &items_[i];
    return nullptr;
}

void PresetsMenu::rebuild(const std::string& supportFolder) {
    const std::string folder = presetsFolder(supportFolder);
    struct stat st;
    if (lstat(folder.c_str(), &st) != 0) createDirectoryPath(folder);
    items_.resize(1);
    currentPreset_ = 0;

    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        log_line("%s: %s", folder.c_str(), std::strerror(errno));
        return;
    }
    std::vector<std::string> names;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (has_settings_extension(name) && is_file_or_link_to_file(folder + "/" + name)) names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), FileNameOrder{user_locale()});
    for (const std::string& name : names)
        items_.push_back({presetTitleForName(name), kPresetItemTag, folder + "/" + name});
    items_.push_back({std::string(), kPresetSeparatorTag, {}});
    items_.push_back({"New...", kPresetNewTag, {}});
    items_.push_back({"Delete", kPresetDeleteTag, {}});
}

}  // namespace dvk
