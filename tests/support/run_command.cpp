#include "tests/support/run_command.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/support/test_paths.h"

namespace dvk::test {

CommandRun run_command(const std::string& command_line) {
    CommandRun r;
    FILE* p = popen(command_line.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

CommandRun run_built_tool(const std::string& tool, const std::string& args) {
    TempDir dir;
    const auto err_file = dir / "err.txt";
    CommandRun r = run_command(shell_quoted(std::string(DVK_BINARY_DIR) + "/bin/" + tool) + " " + args + " 2>" +
                               shell_quoted(err_file.string()));
    std::ifstream in(err_file);
    std::stringstream ss;
    ss << in.rdbuf();
    r.err = ss.str();
    return r;
}

CommandRun run_dvk_develop(const std::string& args) { return run_built_tool("dvk-develop", args); }

std::string shell_quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    q += '\'';
    return q;
}

}  // namespace dvk::test
