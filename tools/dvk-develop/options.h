// Command-line options of dvk-develop.
#pragma once

#include <string>
#include <vector>

namespace dvk::develop {

enum class Mode { None, Info };

struct Options {
    Mode mode = Mode::None;
    bool half = false;
    std::vector<std::string> files;
};

// Parses argv into *opts. Returns -1 to go on, else the exit status (0 after
// --help, 2 after a usage error, which is reported on stderr).
int parse_options(int argc, char** argv, Options* opts);
void print_usage(const char* program);

}  // namespace dvk::develop
