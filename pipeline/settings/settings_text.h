// Settings text: one "key value" line per setting, lines sorted by key with a
// case-sensitive compare (upper case before lower case), values in their text
// form; and the reader that turns such text back into a dictionary of string
// values.
#pragma once

#include <string>
#include <string_view>

#include "pipeline/settings/settings_value.h"

namespace dvk {

// "key value\n" for every entry, sorted by key. Numbers are written without
// regard to the process locale.
std::string settings_text_from_dictionary(const SettingsDictionary& dict);

// Reads settings text. A scanner that skips white space and line ends before
// each token reads a key up to the next blank or tab; unless the text ends
// there or the blank is directly followed by a line feed, the value runs from
// the next non-blank character to the end of its line, and the pair is kept
// when both are non-empty; otherwise the key gets the empty string. All values
// are strings.
SettingsDictionary getDictionarySettingsFromString(std::string_view text);

}  // namespace dvk
