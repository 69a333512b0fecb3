#include "pipeline/processor/settings_argument.h"

#include <filesystem>

#include <strings.h>

#include "colour/profile_lookup.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/settings_file.h"
#include "platform/folder_functions.h"

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

std::optional<std::string> custom_profile_problem(const RawProcessor& processor) {
    if (processor.customRawProfileError().empty()) return std::nullopt;
    return "cannot read the camera profile " + processor.customRawProfileError();
}

namespace {

bool has_profile_extension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return false;
    const char* ext = name.c_str() + dot + 1;
    return strcasecmp(ext, "icc") == 0 || strcasecmp(ext, "icm") == 0;
}

}  // namespace

std::optional<std::string> settle_custom_profile(RawProcessor& processor, const std::string& profileFolder) {
    const std::string value = processor.customRawProfile();
    if (value.empty()) return std::nullopt;
    if (value[0] != '/' && has_profile_extension(value)) {
        std::string folder = profileFolder;
        if (!folder.empty() && folder.back() != '/') folder += '/';
        processor.setCustomRawProfile(resolveAliasPath(folder + value));
    }
    if (const std::optional<std::string> problem = custom_profile_problem(processor)) return problem;
    if (processor.dvklib()->custom_profile_data) return std::nullopt;
    if (!isBuiltinProfileName(processor.customRawProfile().c_str()))
        return "unknown camera profile \"" + processor.customRawProfile() + "\"";
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
