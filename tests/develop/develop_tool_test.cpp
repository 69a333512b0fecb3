// dvk-develop as a user runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "develop_test_support.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status = -1;
    std::string out, err;
};

ToolRun run_tool(const std::string& args) {
    TempDir dir;
    const auto err_file = dir / "err.txt";
    const std::string cmd = std::string(DVK_BINARY_DIR) + "/bin/dvk-develop " + args + " 2>" + err_file.string();
    ToolRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream in(err_file);
    std::stringstream ss;
    ss << in.rdbuf();
    r.err = ss.str();
    return r;
}

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

double mean(const Image& img) {
    double s = 0;
    for (float v : img.px) s += v;
    return img.px.empty() ? 0 : s / img.px.size();
}

TEST(DevelopTool, DevelopsBesideTheRawFileByDefault) {
    TempDir dir;
    const fs::path raw = write_scene_dng(dir.path(), 96, 64);
    ToolRun r = run_tool("--format 0 --interpolation 0 " + q(raw));
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
    ToolRun r = run_tool("--format 3 --out " + q(dir / "jpegs" / "") + " " + q(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir / "jpegs" / "scene.jpeg").string() + "\n");
    Image j = read_jpeg_image(dir / "jpegs" / "scene.jpeg");
    ASSERT_TRUE(j.ok);
    EXPECT_EQ(j.width, 48u);  // interpolation 2 (the default) loads at half size
    r = run_tool("--format 1 --interpolation 1 --out named.tif " + q(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir / "named.tif").string() + "\n");
    EXPECT_EQ(read_tiff_image(dir / "named.tif").bits, 8u);
}

TEST(DevelopTool, GoesOnAfterAFailureAndExitsNonZero) {
    TempDir dir;
    const fs::path raw = write_scene_dng(dir.path(), 64, 48);
    const fs::path bad = testdata_dir() / "raw" / "hero7.gpr";
    ToolRun r = run_tool("--format 1 --out " + q(dir / "out" / "") + " " + q(bad) + " " + q(raw));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, (dir / "out" / "scene.tiff").string() + "\n");
    EXPECT_NE(r.err.find("hero7.gpr: cannot load, LibRaw error -2"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out" / "hero7.tiff"));
}

TEST(DevelopTool, SettingsFilterAndProfile) {
    TempDir dir;
    const fs::path raw = write_scene_dng(dir.path(), 96, 64);
    ToolRun r = run_tool("--format 1 --out base.tiff " + q(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    r = run_tool("--format 1 --set exposure=1 --set curveType=0 --set gamma=2.2 --set sharpness=20 "
                 "--set localContrast=10 --set rotation=10 --set useCameraWB=1 --out bright.tiff " + q(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GT(mean(read_tiff_image(dir / "bright.tiff")), mean(read_tiff_image(dir / "base.tiff")) + 0.05);

    r = run_tool("--format 1 --filter 'Photobrom B&W' --out grey.tiff " + q(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    Image grey = read_tiff_image(dir / "grey.tiff");
    ASSERT_TRUE(grey.ok);
    auto red = patch_mean(grey, 36, 12, 3);  // the red square, now a grey tone
    EXPECT_NEAR(red[0], red[1], 0.03);
    EXPECT_NEAR(red[1], red[2], 0.03);

    r = run_tool("--format 1 --set raw=1 --out raw.tiff " + q(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(read_tiff_image(dir / "raw.tiff").icc.empty());

    r = run_tool("--format 1 --profile BetaRGB2.2 --out prof.tiff " + q(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(read_tiff_image(dir / "prof.tiff").ok);
}

TEST(DevelopTool, BadSettingsAndFormats) {
    TempDir dir;
    const fs::path raw = write_scene_dng(dir.path(), 64, 48);
    ToolRun r = run_tool("--set nosuchkey=1 " + q(raw));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nosuchkey"), std::string::npos) << r.err;
    r = run_tool("--set exposure=bright " + q(raw));
    EXPECT_EQ(r.status, 1);
    r = run_tool("--format 24 " + q(raw));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no save format 24"), std::string::npos) << r.err;
    r = run_tool("--filter 'No Such Look' " + q(raw));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(run_tool("--format " + q(raw)).status, 2);
    EXPECT_EQ(run_tool("--format x " + q(raw)).status, 2);
    EXPECT_EQ(run_tool("--set exposure " + q(raw)).status, 2);
    EXPECT_EQ(run_tool("--info --format 1 " + q(raw)).status, 2);
    EXPECT_TRUE(run_tool("--format 1 --out " + q(dir / "x.tiff") + " " + q(dir / "missing.dng")).out.empty());
}

TEST(DevelopTool, PreviewRoad) {
    TempDir dir;
    const fs::path raw = write_scene_dng(dir.path(), 96, 64);
    ToolRun r = run_tool("--preview " + q(raw));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, raw.string() + ": preview 48 x 32\n");
}

}  // namespace
}  // namespace dvk::test
