// Command-line options of dvk-develop.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dvk::develop {

// Info: describe what the loader found. Develop: develop and save each file
// (the default). Preview: half-size load and the preview sequence only.
// PrintSettings: print the export settings text of a settings file.
// Exif: print exiftool's info text. Menus: open each file as the application
// does and print the items of its profile, filter and white-balance menus.
enum class Mode { None, Info, Develop, Preview, PrintSettings, Exif, Menus };

struct Options {
    Mode mode = Mode::None;
    bool half = false;
    bool copyTags = false;  // --copy-tags: after each save, copy the raw file's tags into it
    std::optional<int> format;
    std::optional<int> interpolation;
    std::optional<std::string> filter;
    std::optional<std::string> profile;
    std::vector<std::string> settingsFiles;                     // --settings FILE, in order
    std::vector<std::pair<std::string, std::string>> settings;  // --set KEY=VALUE, in order
    std::optional<std::string> printSettings;                   // --print-settings FILE
    std::optional<std::string> out;
    std::vector<std::string> files;
};

// Parses argv into *opts. Returns -1 to go on, else the exit status (0 after
// --help, 2 after a usage error, which is reported on stderr).
int parse_options(int argc, char** argv, Options* opts);
void print_usage(const char* program);

}  // namespace dvk::develop
