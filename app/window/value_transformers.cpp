#include "app/window/value_transformers.h"

#include <cmath>

#include "pipeline/settings/settings_file.h"

namespace dvk {

SettingsValue LastPathComponent::transformedValue(const SettingsValue& value) const {
    if (const std::string* s = value.string_ptr()) return SettingsValue(last_path_component(*s));
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
