#include "pipeline/processor/settings_argument.h"

#include <filesystem>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/settings_file.h"

namespace dvk {

std::optional<std::string> apply_setting_argument(RawProcessor& processor, std::string_view key_eq_value) {
    const std::size_t eq = key_eq_value.find('=');
    if (eq == std::string_view::npos || eq == 0)
        return "expected KEY=VALUE, got \"" + std::string(key_eq_value) + "\"";
    return apply_setting_value(processor, key_eq_value.substr(0, eq), key_eq_value.substr(eq + 1));
}

std::optional<std::string> apply_setting_value(RawProcessor& processor, std::string_view key, std::string_view value) {
    try {
        processor.setValueForKey(key, SettingsValue(value));
    } catch (const KeyValueError& e) {
        return std::string(e.what());
    }
    if (const std::optional<std::string> problem = custom_profile_problem(processor))
        if (key == "customRawProfile" || key == "settings.customRawProfile") return problem;
    return std::nullopt;
}

std::optional<std::string> apply_settings_file(RawProcessor& processor, const std::string& path) {
    // Like an import, a name without the "dvks" extension gets it; a file
    // that exists only under the name given is read as it is.
    std::string file = settings_path_with_extension(path);
    std::string error;
    std::optional<SettingsDictionary> dict = read_settings_file(file, &error);
    if (!dict && file != path && !std::filesystem::exists(std::filesystem::symlink_status(file))) {
        file = path;
        dict = read_settings_file(file, &error);
    }
    if (!dict) return "cannot read settings file " + error;
    if (dict->empty()) return file + " holds no settings";
    std::string refusal;
    if (!processor.importSettingsDictionary(*dict, nullptr, &refusal)) return "settings file " + file + ": " + refusal;
    if (const std::optional<std::string> problem = custom_profile_problem(processor)) return file + ": " + *problem;
    return std::nullopt;
}

}  // namespace dvk
