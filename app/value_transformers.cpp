#include "app/value_transformers.h"

#include <cmath>

namespace dvk {

std::string lastPathComponent(const std::string& path) {
    if (path.empty()) return path;
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/') --end;
    if (end == 1 && path[0] == '/') return "/";
    const std::size_t slash = path.rfind('/', end - 1);
    return slash == std::string::npos ? path.substr(0, end) : path.substr(slash + 1, end - slash - 1);
}

SettingsValue LastPathComponent::transformedValue(const SettingsValue& value) const {
    if (const std::string* s = value.string_ptr()) return SettingsValue(lastPathComponent(*s));
    return value;
}

SettingsValue IntToDoubleTransformer::transformedValue(const SettingsValue& value) const {
    return SettingsValue(value.double_value() / 1000.0);
}

SettingsValue IntToDoubleTransformer::reverseTransformedValue(const SettingsValue& value) const {
    return SettingsValue(std::rint(value.double_value() * 1000.0));
}

SettingsValue StringToNumberTransformer::transformedValue(const SettingsValue& value) const {
    return SettingsValue(value.double_value());
}

SettingsValue StringToNumberTransformer::reverseTransformedValue(const SettingsValue& value) const {
    return SettingsValue(value.description());
}

SettingsValue GammaFieldEnableTransformer::transformedValue(const SettingsValue& value) const {
    if (!value.is_number()) return SettingsValue(false);
    const int v = value.int_value();
    return SettingsValue(v == 0 || (v >= 3 && v <= 7));
}

const ValueTransformer* valueTransformerForName(std::string_view name) {
    static const LastPathComponent lastPath;
    static const IntToDoubleTransformer intToDouble;
    static const StringToNumberTransformer stringToNumber;
    static const GammaFieldEnableTransformer gammaEnable;
    if (name == "lastPathComponent") return &lastPath;
    if (name == "IntToDoubleTransformer") return &intToDouble;
    if (name == "StringToNumberTransformer") return &stringToNumber;
    if (name == "GammaFieldEnableTransformer") return &gammaEnable;
    return nullptr;
}

}  // namespace dvk
