// Runs the dvk-develop tool as a user would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

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

std::string quoted(const std::filesystem::path& p) {
    std::string q(1, '\'');
    q += p.string();
    q += '\'';
    return q;
}

TEST(DvkDevelop, InfoDescribesASyntheticFile) {
    TempDir dir;
    DngSpec s = make_dng_spec(DngLayout::Bayer, 64, 48);
    fill_flat(s, {1256, 2256, 756});
    s.make = "Acme";
    s.model = "Tool Test";
    ASSERT_TRUE(write_dng(dir / "a.dng", s));
    ToolRun r = run_tool("--info " + quoted(dir / "a.dng"));
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
    DngSpec s = make_dng_spec(DngLayout::Bayer, 64, 48);
    fill_gradient(s);
    ASSERT_TRUE(write_dng(dir / "a.dng", s));
    ToolRun r = run_tool("--info --half " + quoted(dir / "a.dng"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Image size: 32 x 24 (half)\n"), std::string::npos) << r.out;
}

TEST(DvkDevelop, FailedLoadPrintsLibRawErrorAndExitsOne) {
    ToolRun r = run_tool("--info " + quoted(testdata_dir() / "raw" / "hero7.gpr"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("LibRaw error -2: Unsupported file format or not RAW file"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;

    r = run_tool("--info /nonexistent/file.dng");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("LibRaw error -100009"), std::string::npos) << r.err;
}

TEST(DvkDevelop, RealChartLoads) {
    ToolRun r = run_tool("--info " + quoted(testdata_dir() / "raw" / "colorchart.dng"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Camera: Canon EOS Kiss X4\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Image size: 1734 x 1156\n"), std::string::npos) << r.out;
}

TEST(DvkDevelop, UsageErrorsExitTwo) {
    EXPECT_EQ(run_tool("").status, 2);
    EXPECT_EQ(run_tool("--info").status, 2);
    EXPECT_EQ(run_tool("--bogus x.dng").status, 2);
    EXPECT_EQ(run_tool("--help").status, 0);
}

}  // namespace
}  // namespace dvk::test
