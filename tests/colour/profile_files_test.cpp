// The built-in profiles as files: dvk-profiles writes them, Argyll's iccdump
// reads them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "colour/builtin_profiles.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "tests/support/dng_writer.h"
#include "tests/support/run_command.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

// Runs a command with standard error folded into the output it returns.
std::string run(const std::string& command, int* status) {
    test::CommandRun r = test::run_command(command + " 2>&1");
    *status = r.status;
    return r.out;
}

using test::shell_quoted;

std::string tool() { return std::string(DVK_BINARY_DIR) + "/bin/dvk-profiles"; }

TEST(DvkProfilesTool, ListsEveryRow) {
    int status = 0;
    std::string out = run(shell_quoted(tool()) + " --list", &status);
    ASSERT_EQ(status, 0) << out;
    std::istringstream in(out);
    std::string line;
    unsigned rows = 0;
    while (std::getline(in, line)) {
        std::istringstream cols(line);
        std::string index, name, length, saturation, space, pcs;
        std::getline(cols, index, '\t');
        std::getline(cols, name, '\t');
        std::getline(cols, length, '\t');
        std::getline(cols, saturation, '\t');
        std::getline(cols, space, '\t');
        std::getline(cols, pcs, '\t');
        ASSERT_LT(rows, kBuiltinProfileCount);
        EXPECT_EQ(std::stoi(index), int(rows));
        EXPECT_EQ(name, builtin_profiles[rows].name);
        EXPECT_FLOAT_EQ(std::stof(saturation), builtin_profiles[rows].saturation);
        if (rows >= 3) {
            EXPECT_EQ(std::stoul(length), builtin_profiles[rows].length) << name;
        }
        if (rows == 56) {
            EXPECT_EQ(space, "RGB");
            EXPECT_EQ(pcs, "XYZ");
        }
        ++rows;
    }
    EXPECT_EQ(rows, kBuiltinProfileCount);
}

TEST(DvkProfilesTool, WritesTheBytesOfAnyName) {
    test::TempDir dir;
    int status = 0;
    for (const char* name : {"Sony Alpha", "Uplab", "Lab", "Unknown Name"}) {
        const std::string file = (dir / "out.icc").string();
        std::string out =
            run(shell_quoted(tool()) + " --write " + shell_quoted(name) + " " + shell_quoted(file), &status);
        ASSERT_EQ(status, 0) << out;
        EXPECT_EQ(test::read_bytes(file), getDVKProfileRef(name, nullptr)->bytes()) << name;
    }
    run(shell_quoted(tool()) + " --write Built-in " + shell_quoted((dir / "b.icc").string()), &status);
    EXPECT_NE(status, 0);
    run(shell_quoted(tool()) + " --bogus", &status);
    EXPECT_NE(status, 0);
}

// Argyll reads every version 2 profile of the table; its icclib refuses
// version 4 by design, which it must say in so many words.
TEST(ArgyllIccdump, ReadsEveryRow) {
    int status = 0;
    run("command -v iccdump", &status);
    if (status != 0) GTEST_SKIP() << "iccdump (Debian argyll) is not installed";
    test::TempDir dir;
    const std::string file = (dir / "row.icc").string();
    for (unsigned i = 0; i < kBuiltinProfileCount; ++i) {
        if (i == 2) continue;
        auto p = getDVKProfileRef(builtin_profiles[i].name, nullptr);
        ASSERT_NE(p, nullptr);
        {
            std::ofstream out(file, std::ios::binary);
            out.write(reinterpret_cast<const char*>(p->bytes().data()), std::streamsize(p->bytes().size()));
        }
        const bool v4 = p->bytes()[8] >= 4;
        std::string out = run("iccdump -v 3 " + shell_quoted(file), &status);
        if (v4) {
            EXPECT_NE(out.find("ICC V4 not supported"), std::string::npos) << builtin_profiles[i].name;
            continue;
        }
        EXPECT_EQ(status, 0) << builtin_profiles[i].name << "\n" << out.substr(0, 400);
        EXPECT_EQ(out.find("Error"), std::string::npos) << builtin_profiles[i].name;
        EXPECT_EQ(out.find("Warning"), std::string::npos) << builtin_profiles[i].name;
        EXPECT_NE(out.find("Header:"), std::string::npos);
    }
}

}  // namespace
}  // namespace dvk
