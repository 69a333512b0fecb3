// The tools given a file that cannot serve as a camera profile, on each road
// they take one by: refused with the reason, nothing written or recorded.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/dng_writer.h"
#include "tests/support/run_command.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_profiles.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

TEST(ProfileTools, AFileThatIsNoCameraProfileIsRefusedWithTheReasonOnEveryRoad) {
    TempDir dir;
    const std::string raw = (dir / "a.dng").string(), out = (dir / "out.tiff").string();
    ASSERT_TRUE(write_dng(raw, gradient_dng(DngLayout::Bayer, 64, 48)));
    const auto run = [&dir](const std::string& tool, const std::string& args) {
        const fs::path err = dir / "stderr.txt";
        CommandRun r = run_command("env XDG_DATA_HOME=" + shell_quoted((dir / "data").string()) +
                                   " XDG_CONFIG_HOME=" + shell_quoted((dir / "config").string()) + " timeout 60 " +
                                   shell_quoted(std::string(DVK_BINARY_DIR) + "/bin/" + tool) + " " + args + " 2>" +
                                   shell_quoted(err.string()));
        r.err = read_file(err);
        return r;
    };
    const std::vector<ProfileCase> cases = write_profile_cases(dir / "profiles");
    for (const ProfileCase& c : cases) {
        SCOPED_TRACE(c.what);
        const bool usable = c.reason.empty();
        const std::string problem = "cannot read the camera profile " + c.path + ": " + c.reason + "\n";
        const std::string dvks = (dir / "look.dvks").string();
        std::ofstream(dvks) << "customRawProfile " << c.path << "\n";
        const std::vector<std::pair<std::string, std::string>> roads = {
            {"--profile " + shell_quoted(c.path), raw + ": " + problem},
            {"--set " + shell_quoted("customRawProfile=" + c.path), raw + ": " + problem},
            {"--settings " + shell_quoted(dvks), raw + ": " + dvks + ": " + problem},
        };
        for (const auto& [args, said] : roads) {
            SCOPED_TRACE(args);
            const CommandRun r =
                run("dvk-develop", "--out " + shell_quoted(out) + " " + args + " " + shell_quoted(raw));
            EXPECT_EQ(r.status, usable ? 0 : 1);
            EXPECT_EQ(fs::exists(out), usable);
            if (!usable) EXPECT_EQ(r.err, said);
            fs::remove(out);
        }
        const CommandRun add =
            run("dvk-history", "add " + shell_quoted(raw) + " --set " + shell_quoted("customRawProfile=" + c.path));
        EXPECT_EQ(add.status, usable ? 0 : 2);
        if (!usable) EXPECT_EQ(add.err, "dvk-history: --set customRawProfile=" + c.path + ": " + problem);
    }
    // Only the profile that can serve was recorded.
    const CommandRun list = run("dvk-history", "list");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 1) << list.out;
    EXPECT_NE(list.out.find("customRawProfile=" + cases.back().path), std::string::npos) << list.out;
}

}  // namespace
}  // namespace dvk::test
