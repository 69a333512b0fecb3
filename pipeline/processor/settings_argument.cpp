#include "pipeline/processor/settings_argument.h"

#include <charconv>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/settings_file.h"

namespace dvk {

std::optional<std::string> apply_setting_argument(RawProcessor& processor, std::string_view key_eq_value) {
    const std::size_t eq = key_eq_value.find('=');
    if (eq == std::string_view::npos || eq == 0)
        return "expected KEY=VALUE, got \"" + std::string(key_eq_value) + "\"";
    return apply_setting_value(processor, key_eq_value.substr(0, eq), key_eq_value.substr(eq + 1));
}

namespace {

// Whole text that is one number (blanks around it allowed).
bool is_number_text(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) t.remove_prefix(1);
    if (t.empty()) return false;
    double v = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
    return (r.ec == std::errc() || r.ec == std::errc::result_out_of_range) && r.ptr == t.data() + t.size();
}

}  // namespace

std::optional<std::string> apply_setting_value(RawProcessor& processor, std::string_view key, std::string_view value) {
    try {
        // A typo on the command line must not quietly become 0.
        if (processor.valueForKey(key).is_number() && !is_number_text(value))
            return "the setting " + std::string(key) + " takes a number, not \"" + std::string(value) + "\"";
        processor.setValueForKey(key, SettingsValue(value));
    } catch (const KeyValueError& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

std::optional<std::string> apply_settings_file(RawProcessor& processor, const std::string& path) {
    // Like an import, a name without the "dvks" extension gets it; a file
    // that exists only under the name given is read as it is.
    std::string file = settings_path_with_extension(path);
    std::optional<SettingsDictionary> dict = read_settings_file(file);
    if (!dict && file != path) {
        file = path;
        dict = read_settings_file(file);
    }
    if (!dict) return "cannot read settings file " + file;
    if (dict->empty()) return "no settings in " + file;
    if (!processor.importSettingsDictionary(*dict)) return "settings file " + file + " holds an unknown key or an unusable value";
    return std::nullopt;
}

}  // namespace dvk
