// Running shell commands and the tools this tree builds, capturing what they print.
#pragma once

#include <string>

namespace dvk::test {

struct CommandRun {
    int status = -1;  // exit status; -1 when the command could not start or did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error (run_built_tool only)
};

// Runs a shell command line and captures its standard output; standard error
// goes wherever the command line sends it.
CommandRun run_command(const std::string& command_line);
// Runs build/bin/<tool> with args (already quoted for the shell), capturing
// standard output and standard error separately.
CommandRun run_built_tool(const std::string& tool, const std::string& args);
// run_built_tool("dvk-develop", args).
CommandRun run_dvk_develop(const std::string& args);
// s in single quotes for the shell, with any single quote inside escaped.
std::string shell_quoted(const std::string& s);

}  // namespace dvk::test
