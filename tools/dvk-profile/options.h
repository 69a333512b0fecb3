// Command-line options of dvk-profile.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dvk::profile_tool {

// A rectangle of preview pixels, x and y from the top-left corner.
struct Rect {
    double x = 0, y = 0, w = 0, h = 0;
};

struct Options {
    std::optional<std::string> reference;                      // --reference F (else the built-in one)
    std::string patches;                                       // --patches F
    std::optional<Rect> wbRect;                                // --wb-rect "X Y W H"
    std::vector<std::pair<std::string, std::string>> settings;  // --set K=V, in order
    int exposePatch = 0;                                       // --expose-patch N (1-based; 0: none)
    bool enforceWhite = false, enforceBlack = false;
    std::optional<std::string> ti3;  // --ti3 P
    bool evaluate = false;
    std::string out;  // --out PROFILE
    std::string raw;
};

// Parses argv. Returns -1 to go on, else the exit status (0 after --help, 2
// after a usage error, reported on stderr).
int parse_options(int argc, char** argv, Options* opts);
// "X Y W H" (blanks or tabs between, anything after '#' ignored); false when
// it is not four finite numbers with a positive width and height.
bool parse_rect(const std::string& text, Rect* out);
// One rectangle per line, blank lines and '#' comments skipped. False with the
// reason in *error.
bool read_patch_file(const std::string& path, std::vector<Rect>* out, std::string* error);

}  // namespace dvk::profile_tool
