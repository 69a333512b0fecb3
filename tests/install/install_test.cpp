// cmake --install of this build into a staging folder (DESTDIR) under another
// prefix: every program of the build and no test, benchmark or build-time
// generator; the resources, the desktop entry and its icon. The installed
// programs, away from the build tree, find their resources (the same TIFF as
// the build's dvk-develop), and dvk opens a file handed to it as a file
// manager does, through the entry's Exec line.
#include <gtest/gtest.h>

#include <QtGui/QImage>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/desktop/desktop_entry.h"
#include "tests/support/run_command.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names of the regular files in `dir` that `keep` accepts.
template <typename Keep>
std::set<std::string> filesIn(const fs::path& dir, Keep keep) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file() && keep(e.path())) names.insert(fs::relative(e.path(), dir).string());
    return names;
}

// The one file dvk-develop wrote into `dir`.
fs::path onlyFileIn(const fs::path& dir) {
    const std::set<std::string> names = filesIn(dir, [](const fs::path&) { return true; });
    EXPECT_EQ(names.size(), 1u) << dir;
    return names.empty() ? fs::path() : dir / *names.begin();
}

TEST(Install, TheInstalledProgramsFindTheirResourcesAndTheEntryOpensAFile) {
    TempDir root;
    const fs::path stage = root / "stage", prefix = stage / "opt" / "dvk";
    const fs::path build = fs::path(DVK_BINARY_DIR) / "bin";
    const CommandRun install = run_command("DESTDIR=" + shell_quoted(stage.string()) + " " +
                                           shell_quoted(DVK_CMAKE_COMMAND) + " --install " +
                                           shell_quoted(DVK_BINARY_DIR) + " --prefix /opt/dvk 2>&1");
    ASSERT_EQ(install.status, 0) << install.out;

    // The programs: dvk and its dvk-* tools, not the tests, the benchmarks
    // and the generators the build runs.
    const std::set<std::string> notInstalled = {"dvk-lua-chunk",   "dvk-manual-pdf", "dvk-profile-gen",
                                                "dvk-bench",       "dvk-bench-dng",  "dvk-demosaic-quality"};
    const std::set<std::string> programs = filesIn(build, [&](const fs::path& p) {
        const std::string name = p.filename().string();
        return p.parent_path() == build && (name == "dvk" || name.rfind("dvk-", 0) == 0) && !notInstalled.count(name);
    });
    EXPECT_TRUE(programs.count("dvk") && programs.count("dvk-develop") && programs.count("dvk-history"));
    EXPECT_EQ(filesIn(prefix / "bin", [](const fs::path&) { return true; }), programs)
        << "each dvk-* program of the build is installed, unless its folder marks it dvk_build_time_tool()";
    // The resources, byte for byte.
    const fs::path resources = prefix / "share" / "dvk" / "resources";
    const std::set<std::string> built = filesIn(build / "resources", [](const fs::path&) { return true; });
    EXPECT_TRUE(built.count("CIELab_to_UPLab.icc") && built.count("DVK User Manual.pdf") &&
                built.count("DVK_LR2.lrplugin/Info.lua"));
    EXPECT_EQ(filesIn(resources, [](const fs::path&) { return true; }), built);
    for (const std::string& name : built) EXPECT_EQ(bytesOf(resources / name), bytesOf(build / "resources" / name)) << name;
    // The entry passes the desktop-file checker; the icon is there.
    const fs::path entryPath = prefix / "share" / "applications" / "dvk.desktop";
    const CommandRun validate = run_command("desktop-file-validate " + shell_quoted(entryPath.string()) + " 2>&1");
    EXPECT_EQ(validate.status, 0) << validate.out;
    EXPECT_EQ(validate.out, "");
    EXPECT_NE(bytesOf(prefix / "share" / "icons" / "hicolor" / "scalable" / "apps" / "dvk.svg").find("<svg"),
              std::string::npos);

    // The installed dvk-develop finds the resources its develop needs: the
    // same file as the build tree's, run from another folder.
    const fs::path chart = root / "Raw photos" / "chart.dng";
    fs::create_directories(chart.parent_path());
    fs::copy_file(chart_dng(), chart);
    auto develop = [&](const fs::path& tool, const std::string& out) {
        fs::create_directories(root / out);
        return run_command("cd " + shell_quoted(root.path().string()) + " && " + shell_quoted(tool.string()) +
                           " --format 0 --out " + shell_quoted((root / out).string() + "/") + " " +
                           shell_quoted(chart.string()) + " 2>&1");
    };
    const CommandRun installed = develop(prefix / "bin" / "dvk-develop", "installed");
    ASSERT_EQ(installed.status, 0) << installed.out;
    ASSERT_EQ(develop(build / "dvk-develop", "built").status, 0);
    const std::string tiff = bytesOf(onlyFileIn(root / "installed"));
    EXPECT_GT(tiff.size(), 100000u);
    EXPECT_TRUE(tiff == bytesOf(onlyFileIn(root / "built"))) << "the installed dvk-develop wrote another file";

    // A file manager opening the chart with DVK: the entry's Exec line with
    // %F replaced, the program found on PATH; the window shows the chart.
    std::string error;
    const std::optional<DesktopEntry> entry = readDesktopEntry(entryPath.string(), &error);
    ASSERT_TRUE(entry) << error;
    const auto commands = desktopEntryCommands(*entry, {chart.string()}, &error);
    ASSERT_TRUE(commands && commands->size() == 1u) << error;
    EXPECT_EQ(commands->front(), (std::vector<std::string>{"dvk", chart.string()}));
    std::string line;
    for (const std::string& arg : commands->front()) line += " " + shell_quoted(arg);
    const fs::path shot = root / "shot.png";
    const CommandRun dvk = run_command(
        "cd " + shell_quoted(root.path().string()) + " && env -u DVK_NO_REDIRECT PATH=" +
        shell_quoted((prefix / "bin").string()) + ":/usr/bin:/bin XDG_DATA_HOME=" + shell_quoted((root / "data").string()) +
        " XDG_CONFIG_HOME=" + shell_quoted((root / "config").string()) +
        " QT_QPA_PLATFORM=offscreen DVK_DEV_SCREENSHOT=" + shell_quoted(shot.string()) + " timeout 150" + line);
    const std::string log = bytesOf(root / "data" / "DVK" / "DVK.log");
    ASSERT_EQ(dvk.status, 0) << log;
    const QImage image(QString::fromStdString(shot.string()));
    ASSERT_FALSE(image.isNull()) << log;
    std::ifstream rects(shot.string() + ".rects");
    std::string word;
    int x = 0, y = 0, w = 0, h = 0;
    ASSERT_TRUE(rects >> word >> x >> y >> w >> h);
    EXPECT_EQ(word, "imageView");
    const QRect shown(x, y, w, h);
    ASSERT_TRUE(w > 100 && h > 100 && image.rect().contains(shown)) << w << " x " << h;
    // The chart's patches: many colours.
    std::set<QRgb> colours;
    for (int py = shown.top(); py <= shown.bottom(); py += 4)
        for (int px = shown.left(); px <= shown.right(); px += 4) colours.insert(image.pixel(px, py) & 0xF8F8F8);
    EXPECT_GT(colours.size(), 200u);
}

}  // namespace
}  // namespace dvk::test
