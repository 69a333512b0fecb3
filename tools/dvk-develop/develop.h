// dvk-develop's develop and preview roads: a RawProcessor driven as the save
// road drives it (settings, destination, load, convertImage, saveImage).
#pragma once

#include <string>
#include <vector>

#include "tools/dvk-develop/options.h"

namespace dvk {
class RawProcessor;
}

namespace dvk::develop {

// Applies --set KEY=VALUE to `p` through key-value coding; false (with the
// reason in *error) for an unknown key or a value that is no (finite) number
// where one is needed.
bool apply_setting(RawProcessor& p, const std::string& key, const std::string& value, std::string* error);

// Develops `path` and saves it; prints the written path on stdout and adds
// it to *written (may be null), whose paths it never writes again (files of
// one run that would get one name get numbered names). Returns 0, or 1 after
// printing the error on stderr.
int develop_file(const Options& opts, const std::string& path, std::vector<std::string>* written = nullptr);

// --print-settings: the settings file applied to a fresh processor (after the
// other settings files, before the options and the --set values); prints its
// export settings text. 0 or 1.
int print_settings(const Options& opts);

// Half-size load and the preview sequence; prints the preview size. 0 or 1.
int preview_file(const Options& opts, const std::string& path);

}  // namespace dvk::develop
