// Settings from the command line of the developer tools: "KEY=VALUE" applied
// through key-value coding (so VALUE converts as an imported setting does),
// and settings files applied or printed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pipeline/processor/custom_profile.h"

namespace dvk {

class RawProcessor;

// Applies "KEY=VALUE" (VALUE may be empty or hold blanks and '='). VALUE
// goes through setValueForKey as text, as an imported setting does, so a
// number setting needs the whole VALUE to be a number. Returns nullopt on
// success, else the error text (no '=', unknown key, no number, a number
// that is not finite, a camera profile path that cannot be read).
std::optional<std::string> apply_setting_argument(RawProcessor& processor, std::string_view key_eq_value);
// The same with key and value apart.
std::optional<std::string> apply_setting_value(RawProcessor& processor, std::string_view key, std::string_view value);

// Applies a settings file (".dvks" text or property list) as an import does
// (its destinationFile is not taken). Returns nullopt on success, else the
// error text ("cannot read settings file PATH: not a regular file", ...).
std::optional<std::string> apply_settings_file(RawProcessor& processor, const std::string& path);

}  // namespace dvk
