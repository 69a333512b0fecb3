// Settings files: the settings text (UTF-8) in a file with the extension
// "dvks", or a property list (XML or binary) whose root is a dictionary of
// the same keys. Also the atomic file write used for settings and presets.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pipeline/settings/settings_value.h"

namespace dvk {

inline constexpr const char* kSettingsExtension = "dvks";

// The path with ".dvks" appended unless its extension already is "dvks" in
// any case ("look" -> "look.dvks", "look.DVKS" kept, "look.txt" ->
// "look.txt.dvks").
std::string settings_path_with_extension(std::string_view path);
// The extension of the last path component ("" when it has none).
std::string path_extension(std::string_view path);
// The last path component.
std::string last_path_component(std::string_view path);

// The dictionary at the root of a property list (XML or binary), or nullopt
// when the data is no property list or its root is no dictionary. Strings,
// booleans, integers and reals keep their type; other values become null.
std::optional<SettingsDictionary> getDictionarySettingsFromXMLData(std::string_view data);
// Tries the data as a property list, then as settings text; nullopt (with
// the reason in *error when given) for data the property-list reader must
// not see (nested too deeply, a damaged binary list).
std::optional<SettingsDictionary> settings_dictionary_from_data(std::string_view data, std::string* error = nullptr);
// Reads a settings file (text or property list): only a regular file of at
// most kSettingsFileMaxBytes. nullopt when it cannot be read, with the
// reason ("PATH: not a regular file", "PATH: Permission denied", ...) in
// *error when given.
std::optional<SettingsDictionary> read_settings_file(const std::string& path, std::string* error = nullptr);

// A dictionary as an XML or binary property list.
std::string settings_plist_xml(const SettingsDictionary& dict);
std::string settings_plist_binary(const SettingsDictionary& dict);

// Whole-file helpers. The read takes a regular file of at most
// kSettingsFileMaxBytes (read_regular_file). The write goes to a temporary
// file in the same folder that is renamed over the target, so readers never
// see half a file.
std::optional<std::string> read_file_bytes(const std::string& path, std::string* error = nullptr);
bool write_file_atomically(const std::string& path, std::string_view bytes);

}  // namespace dvk
