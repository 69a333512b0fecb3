// dvk-develop as a user runs it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

#include "develop_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

double mean(const Image& img) {
    double s = 0;
    for (float v : img.px) s += v;
    return img.px.empty() ? 0 : s / img.px.size();
}

TEST(DevelopTool, DevelopsBesideTheRawFileByDefault) {
    TempDir dir;
    const fs::path raw = write_scene_dng(dir.path(), 96, 64);
    CommandRun r = run_dvk_develop("--format 0 --interpolation 0 " + shell_quoted(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir / "scene.tiff").string() + "\n");
    Image img = read_tiff_image(dir / "scene.tiff");
    ASSERT_TRUE(img.ok);
    EXPECT_EQ(img.width, 96u);
    EXPECT_EQ(img.bits, 16u);
}

TEST(DevelopTool, OutFolderAndFileAndHalfSize) {
    TempDir dir;
    const fs::path raw = write_scene_dng(dir.path(), 96, 64);
    CommandRun r = run_dvk_develop("--format 3 --out " + shell_quoted(dir / "jpegs" / "") + " " + shell_quoted(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir / "jpegs" / "scene.jpeg").string() + "\n");
    Image j = read_jpeg_image(dir / "jpegs" / "scene.jpeg");
    ASSERT_TRUE(j.ok);
    EXPECT_EQ(j.width, 48u);  // interpolation 2 (the default) loads at half size
    r = run_dvk_develop("--format 1 --interpolation 1 --out named.tif " + shell_quoted(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir / "named.tif").string() + "\n");
    EXPECT_EQ(read_tiff_image(dir / "named.tif").bits, 8u);
}

TEST(DevelopTool, GoesOnAfterAFailureAndExitsNonZero) {
    TempDir dir;
    const fs::path raw = write_scene_dng(dir.path(), 64, 48);
    const fs::path bad = testdata_dir() / "raw" / "hero7.gpr";
    CommandRun r = run_dvk_develop("--format 1 --out " + shell_quoted(dir / "out" / "") + " " + shell_quoted(bad) +
                                   " " + shell_quoted(raw));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, (dir / "out" / "scene.tiff").string() + "\n");
    EXPECT_NE(r.err.find("hero7.gpr: not a raw file of a known camera\n"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out" / "hero7.tiff"));
}

TEST(DevelopTool, SettingsFilterAndProfile) {
    TempDir dir;
    const fs::path raw = write_scene_dng(dir.path(), 96, 64);
    CommandRun r = run_dvk_develop("--format 1 --out base.tiff " + shell_quoted(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    r = run_dvk_develop("--format 1 --set exposure=1 --set curveType=0 --set gamma=2.2 --set sharpness=20 "
                 "--set localContrast=10 --set rotation=10 --set useCameraWB=1 --out bright.tiff " + shell_quoted(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GT(mean(read_tiff_image(dir / "bright.tiff")), mean(read_tiff_image(dir / "base.tiff")) + 0.05);

    r = run_dvk_develop("--format 1 --filter 'Photobrom B&W' --out grey.tiff " + shell_quoted(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    Image grey = read_tiff_image(dir / "grey.tiff");
    ASSERT_TRUE(grey.ok);
    auto red = patch_mean(grey, 36, 12, 3);  // the red square, now a grey tone
    EXPECT_NEAR(red[0], red[1], 0.03);
    EXPECT_NEAR(red[1], red[2], 0.03);

    r = run_dvk_develop("--format 1 --set raw=1 --out raw.tiff " + shell_quoted(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(read_tiff_image(dir / "raw.tiff").icc.empty());

    r = run_dvk_develop("--format 1 --profile BetaRGB2.2 --out prof.tiff " + shell_quoted(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(read_tiff_image(dir / "prof.tiff").ok);
}

TEST(DevelopTool, BadSettingsAndFormats) {
    TempDir dir;
    const fs::path raw = write_scene_dng(dir.path(), 64, 48);
    CommandRun r = run_dvk_develop("--set nosuchkey=1 " + shell_quoted(raw));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nosuchkey"), std::string::npos) << r.err;
    r = run_dvk_develop("--set exposure=bright " + shell_quoted(raw));
    EXPECT_EQ(r.status, 1);
    r = run_dvk_develop("--format 24 " + shell_quoted(raw));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no save format 24"), std::string::npos) << r.err;
    r = run_dvk_develop("--filter 'No Such Look' " + shell_quoted(raw));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(run_dvk_develop("--format " + shell_quoted(raw)).status, 2);
    EXPECT_EQ(run_dvk_develop("--format x " + shell_quoted(raw)).status, 2);
    EXPECT_EQ(run_dvk_develop("--set exposure " + shell_quoted(raw)).status, 2);
    EXPECT_EQ(run_dvk_develop("--info --format 1 " + shell_quoted(raw)).status, 2);
    EXPECT_TRUE(
        run_dvk_develop("--format 1 --out " + shell_quoted(dir / "x.tiff") + " " + shell_quoted(dir / "missing.dng"))
            .out.empty());
}

TEST(DevelopTool, PreviewRoad) {
    TempDir dir;
    const fs::path raw = write_scene_dng(dir.path(), 96, 64);
    CommandRun r = run_dvk_develop("--preview " + shell_quoted(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, raw.string() + ": preview 48 x 32\n");
}

// Another raw file where the output would go (a scanner's raw named .tif, a
// raw of the same name in the folder of the output): never written over,
// whatever named the output. The output takes the next number where no raw
// file is; a second run writes over its own output there (or, when nothing
// may be overwritten, takes the number after).
TEST(DevelopTool, NeverWritesOverAnotherRawFile) {
    TempDir dir;
    const fs::path scene = write_scene_dng(dir.path(), 64, 48);
    const std::string rawBytes = read_file(scene);
    struct Case {
        const char* options;
        std::vector<std::string> raws;    // other raw files there first
        std::vector<std::string> others;  // ordinary files there first
        const char* written;              // the first run's output
        const char* again;                // the second run's
    } cases[] = {
        {"--format 1", {"scene.tiff"}, {}, "scene-001.tiff", "scene-001.tiff"},
        {"--format 4", {"scene.jpeg"}, {}, "scene-001.jpeg", "scene-001.jpeg"},
        {"--format 1 --out out/", {"out/scene.tiff"}, {}, "out/scene-001.tiff", "out/scene-001.tiff"},
        {"--format 1 --out named.tif", {"named.tif"}, {}, "named-001.tif", "named-001.tif"},
        {"--format 1", {"scene.tiff", "scene-001.tiff"}, {"scene-002.tiff"}, "scene-002.tiff", "scene-002.tiff"},
        {"--format 1 --set dontOverwriteOnSave=1", {"scene.tiff"}, {"scene-001.tiff"}, "scene-002.tiff",
         "scene-003.tiff"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const fs::path folder = dir / ("case" + std::to_string(++n));
        fs::create_directories(folder / "out");
        fs::copy_file(scene, folder / "scene.dng");
        for (const std::string& r : c.raws) fs::copy_file(scene, folder / r);
        for (const std::string& o : c.others) touch(folder / o, "old");
        for (const char* expected : {c.written, c.again}) {
            CommandRun r = run_dvk_develop(std::string(c.options) + " " + shell_quoted(folder / "scene.dng"));
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out, (folder / expected).string() + "\n");
            const bool jpeg = fs::path(expected).extension() == ".jpeg";
            EXPECT_TRUE((jpeg ? read_jpeg_image(folder / expected) : read_tiff_image(folder / expected)).ok);
        }
        for (const std::string& r : c.raws) EXPECT_EQ(read_file(folder / r), rawBytes) << r;
        EXPECT_EQ(read_file(folder / "scene.dng"), rawBytes);
    }
}

// What the command line says wins over a settings file; a destination that
// is no file nor folder is refused with the reason, not made into a file
// beside it; one --out file for several raw files numbers them rather than
// writing each over the last; a file written again keeps its permissions.
TEST(DevelopTool, TheCommandLineHasTheLastWord) {
    TempDir dir;
    const fs::path raw = write_scene_dng(dir.path(), 64, 48);
    const fs::path look = dir / "look.dvks";
    touch(look, "saveFormat 2\ninterpolation 3\nfilterName V50\ncustomRawProfile BetaRGB2.2\nexposure 0.5\n");
    CommandRun r = run_dvk_develop("--print-settings " + shell_quoted(look) +
                                   " --format 0 --interpolation 1 --filter Color --profile Default");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line : {"saveFormat 0\n", "interpolation 1\n", "filterName Color\n", "customRawProfile Default\n",
                             "exposure 0.5\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
    r = run_dvk_develop("--format 0 --settings " + shell_quoted(look) + " --out rgb.tiff " + shell_quoted(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_tiff_image(dir / "rgb.tiff").photometric, 2u);  // RGB, not the file's CIELab (8)

    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
    for (const std::string& out : {std::string("/dev/null"), (dir / "pipe").string()}) {
        const bool there = fs::exists(out + ".tiff");
        r = run_dvk_develop("--format 1 --out " + shell_quoted(out) + " " + shell_quoted(raw));
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("cannot write " + out + ".tiff: " + out + " is not a regular file or folder\n"),
                  std::string::npos)
            << r.err;
        if (!there) EXPECT_FALSE(fs::exists(out + ".tiff"));
    }

    fs::copy_file(raw, dir / "second.dng");
    r = run_dvk_develop("--format 1 --out one.tiff " + shell_quoted(raw) + " " + shell_quoted(dir / "second.dng"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir / "one.tiff").string() + "\n" + (dir / "one-001.tiff").string() + "\n");

    ::chmod((dir / "one.tiff").c_str(), 0600);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    r = run_dvk_develop("--format 1 --out new.tiff " + shell_quoted(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    r = run_dvk_develop("--format 1 --out one.tiff " + shell_quoted(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    struct stat st;
    ASSERT_EQ(::stat((dir / "one.tiff").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((dir / "new.tiff").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
}

}  // namespace
}  // namespace dvk::test
