#include "app/history/history_record.h"

#include <chrono>
#include <stdexcept>

namespace dvk {

const std::vector<HistoryAttribute>& historyAttributes() {
    using T = HistoryAttributeType;
    static const std::vector<HistoryAttribute> attributes = {
        {"sourceFile", T::String},       {"destinationFile", T::String},   {"camera", T::String},
        {"evRed", T::Double},            {"evGreen", T::Double},           {"evBlue", T::Double},
        {"evGreen2", T::Double},         {"evWarmCold", T::Double},        {"manualGreen2", T::Bool},
        {"uplab", T::Bool},              {"blurAB", T::Bool},              {"copyTags", T::Bool},
        {"exposure", T::Double},         {"brightness", T::Double},        {"contrast", T::Double},
        {"localContrast", T::Double},    {"reservedDouble1", T::Double},   {"reservedDouble2", T::Double},
        {"reservedDouble3", T::Double},  {"reservedInt2", T::Int},         {"saturation", T::Double},
        {"curveType", T::Int},           {"gamma", T::Double},             {"interpolation", T::Int},
        {"highRecoveryEnabled", T::Bool}, {"reservedInt1", T::Bool},       {"highRecoveryEV", T::Double},
        {"saveFormat", T::Int},          {"rotation", T::Int},             {"filterName", T::String},
        {"customRawProfile", T::String}, {"creationDate", T::Date},        {"reservedString1", T::String},
        {"comment", T::String},          {"noiseFilter", T::Double},       {"version", T::Int},
    };
    return attributes;
}

const HistoryAttribute* findHistoryAttribute(std::string_view name) {
    for (const HistoryAttribute& a : historyAttributes())
        if (name == a.name) return &a;
    return nullptr;
}

double historyNow() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

SettingsValue HistoryMO::valueForKey(std::string_view key) const { return values_.get(key); }

void HistoryMO::setValueForKey(std::string_view key, const SettingsValue& value) {
    const HistoryAttribute* a = findHistoryAttribute(key);
    if (!a) throw std::invalid_argument("no history attribute " + std::string(key));
    if (value.is_null()) {
        values_.set(a->name, SettingsValue());
        return;
    }
    switch (a->type) {
        case HistoryAttributeType::String:
            values_.set(a->name, SettingsValue(value.description()));
            break;
        case HistoryAttributeType::Double:
        case HistoryAttributeType::Date:
            values_.set(a->name, SettingsValue(value.double_value()));
            break;
        case HistoryAttributeType::Int:
            values_.set(a->name, SettingsValue(static_cast<long long>(value.int_value())));
            break;
        case HistoryAttributeType::Bool:
            values_.set(a->name, SettingsValue(value.bool_value()));
            break;
    }
}

bool HistoryMO::isFolderDefault() const {
    std::string s = sourceFile();
    return !s.empty() && s.back() == '/';
}

KeyValueSource HistoryMO::keyValueSource() const {
    SettingsDictionary copy = values_;
    return [copy](std::string_view key) { return copy.get(key); };
}

}  // namespace dvk
