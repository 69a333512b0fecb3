#include "pipeline/processor/custom_profile.h"

#include <strings.h>

#include "colour/profile_lookup.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/folder_functions.h"

namespace dvk {

namespace {

bool has_profile_extension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return false;
    const char* ext = name.c_str() + dot + 1;
    return strcasecmp(ext, "icc") == 0 || strcasecmp(ext, "icm") == 0;
}

}  // namespace

std::string custom_profile_value(const std::string& name, const std::string& profileFolder) {
    if (name.empty() || name == kDefaultProfileTitle) return {};
    if (name[0] == '/' || !has_profile_extension(name)) return name;
    std::string folder = profileFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return resolveAliasPath(folder + name);
}

std::optional<std::string> custom_profile_problem(const RawProcessor& processor) {
    if (processor.customRawProfileError().empty()) return std::nullopt;
    return "cannot read the camera profile " + processor.customRawProfileError();
}

std::string custom_profile_reason(const RawProcessor& processor) {
    const std::string& value = processor.customRawProfile();
    const std::string& error = processor.customRawProfileError();
    if (error.empty()) {
        if (value.empty() || processor.dvklib()->custom_profile_data ||
            (value[0] != '/' && isBuiltinProfileName(value.c_str())))
            return {};
        return "no built-in profile has that name";
    }
    const std::string prefix = value + ": ";
    return error.compare(0, prefix.size(), prefix) == 0 ? error.substr(prefix.size()) : error;
}

std::optional<std::string> settle_custom_profile(RawProcessor& processor, const std::string& profileFolder) {
    const std::string value = custom_profile_value(processor.customRawProfile(), profileFolder);
    if (value != processor.customRawProfile()) processor.setCustomRawProfile(value);
    if (value.empty()) return std::nullopt;
    if (const std::optional<std::string> problem = custom_profile_problem(processor)) return problem;
    if (processor.dvklib()->custom_profile_data) return std::nullopt;
    if (value[0] == '/' || !isBuiltinProfileName(value.c_str())) return "unknown camera profile \"" + value + "\"";
    return std::nullopt;
}

}  // namespace dvk
