// dvk's own options among its arguments, and what --help and --version print.
//
// dvk takes files and folders to open; its options are "--help" (or "-h")
// and "--version", which print and end the program before anything else
// starts. Qt's own options ("-platform NAME", "-style=NAME", ...) are Qt's.
// After "--" every argument is a file, so a name beginning with "-" is
// opened as "-- -name" (or "./-name"). Any other argument beginning with
// "-" is an unknown option.
#pragma once

#include <string>
#include <vector>

namespace dvk {

struct CommandLineOptions {
    bool help = false;
    bool version = false;
    std::vector<std::string> unknown;  // in the order given
};

// The options among `arguments` (those after the program's path).
CommandLineOptions scanCommandLineOptions(const std::vector<std::string>& arguments);

// True for an option of Qt's (with either "-" or "--"; "-name=value" too);
// *takesValue tells whether the next argument is its value.
bool isQtOption(const std::string& argument, bool* takesValue = nullptr);

// What `dvk --help` prints: the arguments, the options and the environment
// variables a user may set (the developer hooks named apart).
std::string usageText();
// What `dvk --version` prints: "DVK <version> (<build>)" and a newline.
std::string versionText();

}  // namespace dvk
