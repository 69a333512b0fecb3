// Runs the dvk-develop tool as a user would.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "pipeline/load/load_errors.h"
#include "tests/support/dng_writer.h"
#include "tests/support/hostile_raw_files.h"
#include "tests/support/run_command.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

TEST(DvkDevelop, InfoDescribesASyntheticFile) {
    TempDir dir;
    DngSpec s = make_dng_spec(DngLayout::Bayer, 64, 48);
    fill_flat(s, {1256, 2256, 756});
    s.make = "Acme";
    s.model = "Tool Test";
    ASSERT_TRUE(write_dng(dir / "a.dng", s));
    CommandRun r = run_dvk_develop("--info " + shell_quoted(dir / "a.dng"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Camera: Acme Tool Test\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Image size: 64 x 48\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Colours: 3\n"), std::string::npos) << r.out;
    // Flat levels 1000, 2000, 500 above black over a range of 3839.
    char peaks[128];
    std::snprintf(peaks, sizeof peaks, "Channel peaks: %.6f %.6f %.6f %.6f\n", 1000 / 3839.0f, 2000 / 3839.0f,
                  500 / 3839.0f, 2000 / 3839.0f);
    EXPECT_NE(r.out.find(peaks), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Auto white balance / G: 2.000000 1 4.000000 1.000000\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("As-shot multipliers:"), std::string::npos);
}

TEST(DvkDevelop, HalfSizeHalvesTheImage) {
    TempDir dir;
    DngSpec s = gradient_dng(DngLayout::Bayer, 64, 48);
    ASSERT_TRUE(write_dng(dir / "a.dng", s));
    CommandRun r = run_dvk_develop("--info --half " + shell_quoted(dir / "a.dng"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Image size: 32 x 24 (half)\n"), std::string::npos) << r.out;
}

TEST(DvkDevelop, FailedLoadPrintsTheReasonAndExitsOne) {
    const std::string gpr = (testdata_dir() / "raw" / "hero7.gpr").string();
    CommandRun r = run_dvk_develop("--info " + shell_quoted(gpr));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(gpr + ": not a raw file of a known camera\n"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;

    r = run_dvk_develop("--info /nonexistent/file.dng");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("/nonexistent/file.dng: No such file or directory\n"), std::string::npos) << r.err;
}

// A file the develop refuses (a four-colour sensor) is named with the reason,
// exits 1 and leaves nothing behind.
TEST(DvkDevelop, RefusedDevelopSaysWhyAndExitsOne) {
    TempDir dir;
    DngSpec s = gradient_dng(DngLayout::Bayer, 24, 24);
    s.cfa_block = {0, 1, 2, 3};
    s.cfa_planes = {3, 5, 1, 4};  // cyan, yellow, green, magenta
    s.color_matrix1 = {0.5, 0.1, -0.1, -0.7, 1.5, 0.2, -0.1, 0.2, 0.6, 0.3, 0.3, 0.3};
    s.as_shot_neutral = {0.6, 0.8, 1.0, 0.7};
    const auto raw = dir / "cygm.dng";
    ASSERT_TRUE(write_dng(raw, s));
    const auto out = dir / "cygm.tiff";
    CommandRun r = run_dvk_develop("--format 0 --interpolation 0 --out " + shell_quoted(out) + " " + shell_quoted(raw));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(raw.string() + ": cannot develop: the sensor's colour filter has four colours"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_FALSE(std::filesystem::exists(out));
}

// Each hostile file is refused with its reason and exit status 1, in bounded
// memory, at the preview's half size and in a full-size develop that goes on
// to the good file after it.
TEST(DvkDevelop, HostileFilesAreRefusedWithTheirReasonInBoundedMemory) {
    namespace fs = std::filesystem;
    TempDir dir;
    const std::vector<HostileFile> files = write_hostile_files(dir.path());
    const fs::path good = dir / "good.dng";
    ASSERT_TRUE(write_dng(good, gradient_dng(DngLayout::Bayer, 64, 48)));
    const fs::path out = dir / "out";
    fs::create_directory(out);
    fs::permissions(out, fs::perms::all);
    constexpr long kToolMb = 40;  // the tool itself
    for (const HostileFile& f : files) {
        SCOPED_TRACE(f.name);
        const std::string said = load_error_text(f.path, f.code) + "\n";
        ToolRun r = run_built_tool_measured("dvk-develop", {"--info", "--half", f.path}, f.as_other_user);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
        EXPECT_LT(r.max_rss_kb, (f.max_mb + kToolMb) * 1024);

        fs::remove(out / "good.tiff");
        r = run_built_tool_measured("dvk-develop", {"--format", "1", "--out", out.string() + "/", f.path, good},
                                    f.as_other_user);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
        EXPECT_TRUE(fs::exists(out / "good.tiff"));
        EXPECT_LT(r.max_rss_kb, (f.max_mb + kToolMb) * 1024);
    }
}

// On a terminal, where both streams meet, the engine's messages (the loader's
// "No DNG camera matrix found, <camera>") and the tool's own lines each keep a
// line of their own.
TEST(DvkDevelop, OwnOutputStartsOnALineOfItsOwn) {
    TempDir dir;
    const std::string chart = shell_quoted(testdata_dir() / "raw" / "colorchart.dng");
    const std::string tool = shell_quoted(std::filesystem::path(DVK_BINARY_DIR) / "bin" / "dvk-develop");
    const std::string message = "No DNG camera matrix found, Canon EOS Kiss X4";

    CommandRun info = run_command(tool + " --info " + chart + " 2>&1");
    ASSERT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find(message + "\nFile: "), std::string::npos) << info.out;

    const std::string out = (dir / "out.tiff").string();
    CommandRun develop = run_command(tool + " --format 4 --interpolation 0 --out " + shell_quoted(out) + " " + chart +
                                     " " + chart + " 2>&1");
    ASSERT_EQ(develop.status, 0) << develop.out;
    // Two messages and two written paths, each on a line of its own.
    std::size_t lines_with_message = 0, lines_with_path = 0, pos = 0;
    while (pos < develop.out.size()) {
        std::size_t end = develop.out.find('\n', pos);
        if (end == std::string::npos) end = develop.out.size();
        const std::string line = develop.out.substr(pos, end - pos);
        if (line == message) ++lines_with_message;
        if (line.find(dir.path().string()) == 0) ++lines_with_path;
        pos = end + 1;
    }
    EXPECT_EQ(lines_with_message, 2u) << develop.out;
    EXPECT_EQ(lines_with_path, 2u) << develop.out;
}

TEST(DvkDevelop, RealChartLoads) {
    CommandRun r = run_dvk_develop("--info " + shell_quoted(testdata_dir() / "raw" / "colorchart.dng"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Camera: Canon EOS Kiss X4\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Image size: 1734 x 1156\n"), std::string::npos) << r.out;
}

// A raw file named like its output is never written over (its output gets a
// number), a destination that is the raw file is refused, and a failed write
// says the system's reason.
TEST(DvkDevelop, NeverWritesOverTheRawFileAndSaysWhyAWriteFails) {
    TempDir dir;
    ASSERT_TRUE(write_dng(dir / "photo.tiff", gradient_dng(DngLayout::Bayer, 64, 48)));
    std::filesystem::copy_file(dir / "photo.tiff", dir / "photo2.jpeg");
    std::filesystem::create_symlink("photo.tiff", dir / "link.tiff");
    const auto size = std::filesystem::file_size(dir / "photo.tiff");
    const std::string photo = shell_quoted(dir / "photo.tiff");

    CommandRun r = run_dvk_develop("--format 0 " + photo);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir / "photo-001.tiff").string() + "\n");
    r = run_dvk_develop("--format 4 " + shell_quoted(dir / "photo2.jpeg"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir / "photo2-001.jpeg").string() + "\n");
    for (const char* out : {"photo.tiff", "link.tiff"}) {
        r = run_dvk_develop("--format 0 --out " + shell_quoted(dir / out) + " " + photo);
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_NE(r.err.find("cannot write " + (dir / out).string() + ": it is the raw file being developed"),
                  std::string::npos)
            << r.err;
    }
    EXPECT_EQ(std::filesystem::file_size(dir / "photo.tiff"), size);
    EXPECT_EQ(std::filesystem::file_size(dir / "photo2.jpeg"), size);

    // A disk that takes no more than 4 KiB per file.
    ASSERT_TRUE(write_dng(dir / "big.dng", gradient_dng(DngLayout::Bayer, 256, 192)));
    const std::string tool = shell_quoted(std::filesystem::path(DVK_BINARY_DIR) / "bin" / "dvk-develop");
    r = run_command("trap '' XFSZ; ulimit -f 8; " + tool + " --format 1 --out " + shell_quoted(dir / "full.tiff") +
                    " " + shell_quoted(dir / "big.dng") + " 2>&1");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("cannot save " + (dir / "full.tiff").string() + ": File too large"), std::string::npos)
        << r.out;
}

TEST(DvkDevelop, UsageErrorsExitTwo) {
    EXPECT_EQ(run_dvk_develop("").status, 2);
    EXPECT_EQ(run_dvk_develop("--info").status, 2);
    EXPECT_EQ(run_dvk_develop("--bogus x.dng").status, 2);
    EXPECT_EQ(run_dvk_develop("--help").status, 0);
}

}  // namespace
}  // namespace dvk::test
