// Settings exported from the window and developed by dvk-develop: the same
// file as the window's own save, byte for byte, "Default" being the camera's
// own profile on both roads.
#include <filesystem>
#include <fstream>

#include "tests/app/roads/roads_fixture.h"
#include "tests/support/run_command.h"
#include "tests/support/test_files.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

using ExportedSettings = RoadsFixture;

TEST_F(ExportedSettings, TheToolDevelopsThemExactlyAsTheWindowSaves) {
    const std::string x = canonFile("p/x.dng");  // the chart
    ASSERT_TRUE(openAndWait(x));
    raw().setExposure(0.35);
    raw().setSaturation(12);
    raw().setContrast(8);
    raw().setSaveFormat(0);  // 16-bit RGB with the output profile
    ASSERT_TRUE(raw().customRawProfile().empty());
    const std::string settings = (dir / "look.dvks").string();
    panels->answerSave(settings);
    controller->exportSettingsAs();
    ASSERT_NE(read_file(settings).find("\ncustomRawProfile Default\n"), std::string::npos) << read_file(settings);

    useMainQueue();
    controller->saveFile();
    runMainQueueUntilIdle();
    const std::string saved = read_file(photos() + "/p/x.tiff");
    ASSERT_GT(saved.size(), 100000u);

    // The tool on the same raw; "Default" given again, through --set, or to
    // --profile, is the camera's own profile still.
    const auto develop = [&](const std::string& args, const std::string& name) {
        const fs::path out = dir / "tool" / name;
        const CommandRun r = run_dvk_develop(args + " --out " + shell_quoted(out.string()) + " " + shell_quoted(x));
        EXPECT_EQ(r.status, 0) << r.err;
        return read_file(out);
    };
    const std::string common = "--settings " + shell_quoted(settings);
    EXPECT_TRUE(develop(common, "x.tiff") == saved) << "the tool's file differs from the window's save";
    EXPECT_TRUE(develop(common + " --set customRawProfile=Default", "default.tiff") == saved);
    // The stand-in that "Default" once meant to the tool is another picture.
    EXPECT_FALSE(develop(common + " --set customRawProfile=AdobeRGB2.2", "adobe.tiff") == saved);
    EXPECT_TRUE(develop("--format 0 --profile Default", "p1.tiff") == develop("--format 0", "p2.tiff"));

    // A name no profile has is refused, as an unknown filter is.
    const CommandRun r = run_dvk_develop("--profile 'Canon 550d' --out " + shell_quoted((dir / "no.tiff").string()) + " " +
                        shell_quoted(x));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("unknown camera profile \"Canon 550d\""), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "no.tiff"));
}

}  // namespace
}  // namespace dvk::test
