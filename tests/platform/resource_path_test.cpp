// The resources folder of a program: beside it in a build tree, at the
// installed place relative to its folder otherwise.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/resource_path.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

TEST(ResourcePath, BesideTheProgramElseTheInstalledFolderElseBeside) {
    const std::string installed = "../share/dvk/resources";
    struct Case {
        const char* what;
        bool beside, besideIsFile, installedThere;
        const char* expected;  // relative to the prefix
    };
    const Case cases[] = {
        {"build tree", true, false, false, "bin/resources"},
        {"build tree wins", true, false, true, "bin/resources"},
        {"installed: its clean name, no \"..\" in it", false, false, true, "share/dvk/resources"},
        {"a file named resources is no folder", false, true, true, "share/dvk/resources"},
        {"neither: beside, for the messages", false, false, false, "bin/resources"},
    };
    for (const Case& c : cases) {
        test::TempDir prefix;
        fs::create_directories(prefix / "bin");
        if (c.beside) fs::create_directories(prefix / "bin" / "resources");
        if (c.besideIsFile) std::ofstream(prefix / "bin" / "resources") << "x";
        if (c.installedThere) fs::create_directories(prefix / "share" / "dvk" / "resources");
        const fs::path expected = prefix / c.expected;
        EXPECT_EQ(resource_path_for((prefix / "bin").string(), installed),
                  fs::exists(expected) ? fs::canonical(expected).string() : expected.string())
            << c.what;
    }
    // The running test's own build tree.
    EXPECT_TRUE(fs::equivalent(resource_path(), fs::path(DVK_BINARY_DIR) / "bin" / "resources")) << resource_path();
    EXPECT_EQ(resource_file("ColorChecker 24"), resource_path() + "/ColorChecker 24");
}

}  // namespace
}  // namespace dvk
