// Value transformers of the control bindings: a control shows the transformed
// form of a setting, and (where allowed) writes the reverse form back.
// Registered by name ("lastPathComponent", "IntToDoubleTransformer",
// "StringToNumberTransformer", "GammaFieldEnableTransformer").
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "pipeline/settings/settings_value.h"

namespace dvk {

class ValueTransformer {
public:
    virtual ~ValueTransformer() = default;
    virtual SettingsValue transformedValue(const SettingsValue& value) const = 0;
    virtual bool allowsReverseTransformation() const { return false; }
    // The value unchanged where reversing is not allowed.
    virtual SettingsValue reverseTransformedValue(const SettingsValue& value) const { return value; }
};

// A string's last path component ("/a/b.tif" "b.tif", "/a/" "a", "/" "/");
// any other value unchanged.
class LastPathComponent : public ValueTransformer {
public:
    SettingsValue transformedValue(const SettingsValue& value) const override;
};

// Thousandths to units: v / 1000; back: rint(v x 1000).
class IntToDoubleTransformer : public ValueTransformer {
public:
    SettingsValue transformedValue(const SettingsValue& value) const override;
    bool allowsReverseTransformation() const override { return true; }
    SettingsValue reverseTransformedValue(const SettingsValue& value) const override;
};

// Text to its number; back: the number's text.
class StringToNumberTransformer : public ValueTransformer {
public:
    SettingsValue transformedValue(const SettingsValue& value) const override;
    bool allowsReverseTransformation() const override { return true; }
    SettingsValue reverseTransformedValue(const SettingsValue& value) const override;
};

// Whether the gamma field is editable for a curve type: a number whose
// integer value is 0 or 3 to 7.
class GammaFieldEnableTransformer : public ValueTransformer {
public:
    SettingsValue transformedValue(const SettingsValue& value) const override;
};

// The transformer registered under `name` (null for an unknown name).
const ValueTransformer* valueTransformerForName(std::string_view name);

}  // namespace dvk
