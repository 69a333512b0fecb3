// Real files: the reference files of ArgyllCMS's argyll-ref package, the
// dvk-cgats tool, and a measurement file handed to Argyll's colprof.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "profiling/cgats/cgats.h"
#include "tests/cgats/cgats_test_util.h"
#include "tests/support/hostile_files.h"
#include "tests/support/run_command.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;
using test::read_file;

const fs::path kRefDir = "/usr/share/color/argyll/ref";

// Runs a shell command; its exit status, with standard output in out.
int run(const std::string& cmd, std::string* out = nullptr) {
    test::CommandRun r = test::run_command(cmd);
    if (out) *out = r.out;
    return r.status;
}

// Lab (D50) to XYZ scaled to 100, the CIE way.
std::array<double, 3> lab_to_xyz(double L, double a, double b) {
    const double eps = 0.008856451679035631, kappa = 903.2962962962963;
    const double Y = L > 8 ? std::pow((L + 16) / 116, 3) : L / kappa;
    const double fy = ((Y > eps ? L : kappa * Y) + 16) / 116;
    const double fx = a / 500 + fy, fz = fy - b / 200;
    const auto inv = [&](double f) { return f * f * f > eps ? f * f * f : (116 * f - 16) / kappa; };
    return {inv(fx) * 0.964242 * 100, Y * 100, inv(fz) * 0.825124 * 100};
}

TEST(CgatsReferenceFiles, ColorCheckerReference) {
    const fs::path path = kRefDir / "ColorChecker.cie";
    if (!fs::exists(path)) GTEST_SKIP() << "argyll-ref is not installed";
    cgats_ptr c = test::any_id_cgats();
    ASSERT_EQ(c->read_name(path.c_str()), 0) << c->err();
    ASSERT_EQ(c->ntables(), 1);
    const cgats_table& t = c->table(0);
    EXPECT_EQ(t.type(), table_type::it8_7_2);
    EXPECT_STREQ(t.kword_value(c->find_kword(0, "DESCRIPTOR")), "ColorChecker 24");
    ASSERT_EQ(t.nsets(), 24);
    const int id = c->find_field(0, "SAMPLE_ID"), L = c->find_field(0, "LAB_L"), a = c->find_field(0, "LAB_A"),
              b = c->find_field(0, "LAB_B");
    ASSERT_GE(id, 0);
    ASSERT_GE(L, 0);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_EQ(c->find_field(0, "XYZ_X"), -1);
    cgats_set_elem e[8];
    ASSERT_EQ(c->get_setarr(0, 0, e), 0);
    EXPECT_STREQ(e[id].c, "A01");
    EXPECT_DOUBLE_EQ(e[L].d, 37.99);
    EXPECT_DOUBLE_EQ(e[a].d, 13.56);
    EXPECT_DOUBLE_EQ(e[b].d, 14.06);
    ASSERT_EQ(c->get_setarr(0, 18, e), 0);
    EXPECT_STREQ(e[id].c, "D01");
    EXPECT_DOUBLE_EQ(e[L].d, 96.54);
    EXPECT_DOUBLE_EQ(e[a].d, -0.43);
    EXPECT_DOUBLE_EQ(e[b].d, 1.19);
}

TEST(CgatsReferenceFiles, EveryCgatsReferenceFileReadsAndRoundTrips) {
    if (!fs::exists(kRefDir)) GTEST_SKIP() << "argyll-ref is not installed";
    int files = 0;
    for (const auto& entry : fs::directory_iterator(kRefDir)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".cie" && ext != ".ti1" && ext != ".ti2" && ext != ".ti3" && ext != ".sp" && ext != ".cal" &&
            ext != ".gam")
            continue;
        SCOPED_TRACE(entry.path().string());
        ++files;
        cgats_ptr c = test::any_id_cgats();
        ASSERT_EQ(c->read_name(entry.path().c_str()), 0) << c->err();
        ASSERT_GE(c->ntables(), 1);
        int sets = 0;
        for (int t = 0; t < c->ntables(); ++t) sets += c->table(t).nsets();
        EXPECT_GT(sets, 0);
        int rv = 0;
        const std::string first = test::write_text(c.get(), &rv);
        ASSERT_EQ(rv, 0) << c->err();
        cgats_ptr back = test::any_id_cgats();
        ASSERT_EQ(test::read_text(back.get(), first), 0) << back->err();
        ASSERT_EQ(back->ntables(), c->ntables());
        for (int t = 0; t < c->ntables(); ++t) {
            EXPECT_EQ(back->table(t).nsets(), c->table(t).nsets());
            EXPECT_EQ(back->table(t).nfields(), c->table(t).nfields());
        }
        EXPECT_EQ(test::write_text(back.get()), first);
    }
    EXPECT_GE(files, 20);
}

TEST(CgatsReferenceFiles, SampleIdsAndQuotedLocationsOfAChartFile) {
    const fs::path path = kRefDir / "ColorChecker.ti2";
    if (!fs::exists(path)) GTEST_SKIP() << "argyll-ref is not installed";
    cgats_ptr c = test::any_id_cgats();
    ASSERT_EQ(c->read_name(path.c_str()), 0) << c->err();
    EXPECT_STREQ(c->other(0), "CTI2");
    const int loc = c->find_field(0, "SAMPLE_LOC");
    ASSERT_GE(loc, 0);
    EXPECT_EQ(c->table(0).field_type(loc), data_type::char_string);
    EXPECT_EQ(c->table(0).field_type(0), data_type::nonquoted_string);
    const std::string out = test::write_text(c.get());
    EXPECT_NE(out.find("\n1 \"A1\" "), std::string::npos);  // numeric sample ids stay bare
    EXPECT_NE(out.find("KEYWORD \"SAMPLE_LOC\"\n"), std::string::npos);
}

fs::path tool_path() { return fs::path(DVK_BINARY_DIR) / "bin" / "dvk-cgats"; }

// The tool's command line for one file.
std::string tool_command(const fs::path& file) {
    std::string cmd;
    cmd.append("'").append(tool_path().string()).append("' '").append(file.string()).append("'");
    return cmd;
}

TEST(CgatsTool, WritesBackWhatItReads) {
    if (!fs::exists(tool_path())) GTEST_SKIP() << "dvk-cgats is not built";
    test::TempDir dir;
    const fs::path in = dir / "in.ti3";
    std::ofstream(in) << "CTI3\nDESCRIPTOR \"d\"\nORIGINATOR \"o\"\nCREATED \"c\"\n"
                         "BEGIN_DATA_FORMAT\nSAMPLE_ID RGB_R\nEND_DATA_FORMAT\nBEGIN_DATA\nA1 0.5\nEND_DATA\n";
    std::string out;
    ASSERT_EQ(run(tool_command(in), &out), 0);
    cgats_ptr c = test::any_id_cgats();
    ASSERT_EQ(c->read_name(in.c_str()), 0);
    EXPECT_EQ(out, test::write_text(c.get()));
}

TEST(CgatsTool, RefusedFileGivesTheMessageAndStatusOne) {
    if (!fs::exists(tool_path())) GTEST_SKIP() << "dvk-cgats is not built";
    test::TempDir dir;
    const fs::path in = dir / "bad.ti3";
    std::ofstream(in) << "CTI3\nNUMBER_OF_SETS 2\nSAMPLE_ID\nBEGIN_DATA\nA1\nEND_DATA\n";
    std::string out;
    EXPECT_EQ(run(tool_command(in) + " 2>&1 >/dev/null", &out), 1);
    EXPECT_EQ(out, "Error at line 6 of file '" + in.string() + "': Read 1 sets, expected 2 sets\n");
}

// The tool reads what every reference and TI3 file must be: a regular file of
// at most 32 MiB. Anything else ends at once with the reason (before, a FIFO
// blocked, /dev/zero grew without end, a large file was read whole).
TEST(CgatsTool, RefusesWhatIsNoRegularFileOfAtMost32MiB) {
    if (!fs::exists(tool_path())) GTEST_SKIP() << "dvk-cgats is not built";
    test::TempDir dir;
    ASSERT_TRUE(test::make_fifo(dir / "fifo.ti3"));
    fs::create_directory(dir / "folder.ti3");
    ASSERT_TRUE(test::make_sparse_file(dir / "large.ti3", (std::uintmax_t{32} << 20) + 1));
    const struct {
        fs::path path;
        std::string reason;
    } cases[] = {
        {"/dev/zero", "not a regular file"},
        {dir / "fifo.ti3", "not a regular file"},
        {dir / "folder.ti3", "not a regular file"},
        {dir / "large.ti3", "too large (33554433 bytes, at most 33554432)"},
        {dir / "missing.ti3", "No such file or directory"},
    };
    // Memory and time are bounded, so that a reader that hangs or grows fails
    // rather than stops the suite (the sanitizer's shadow memory needs the
    // whole address space).
#if defined(__SANITIZE_ADDRESS__)
    const std::string bounds = "timeout 10 ";
#else
    const std::string bounds = "ulimit -v 2000000; timeout 10 ";
#endif
    for (const auto& c : cases) {
        std::string err;
        EXPECT_EQ(run(bounds + tool_command(c.path) + " 2>&1 >/dev/null", &err), 1) << c.path;
        EXPECT_EQ(err, "Unable to open file '" + c.path.string() + "' for reading: " + c.reason + "\n");
    }
}

// A 24-patch measurement of the ColorChecker, as the profiler writes it, must
// be accepted by ArgyllCMS's profile maker.
TEST(CgatsColprof, MeasurementFileMakesAProfile) {
    if (run("command -v colprof >/dev/null 2>&1") != 0) GTEST_SKIP() << "colprof is not installed";
    const fs::path ref = kRefDir / "ColorChecker.cie";
    if (!fs::exists(ref)) GTEST_SKIP() << "argyll-ref is not installed";
    cgats_ptr reference = test::any_id_cgats();
    ASSERT_EQ(reference->read_name(ref.c_str()), 0) << reference->err();
    ASSERT_EQ(reference->table(0).nsets(), 24);

    cgats_ptr c(new_cgats());
    ASSERT_EQ(c->add_other("CTI3"), 0);
    ASSERT_EQ(c->add_table(table_type::other, 0), 0);
    ASSERT_EQ(c->add_kword(0, "DESCRIPTOR", "DVK test \"camera\"", nullptr), 0);
    ASSERT_EQ(c->add_kword(0, "ORIGINATOR", "DVK", nullptr), 1);
    ASSERT_EQ(c->add_kword(0, "CREATED", "Mon Dec  7 05:00:00 2026", nullptr), 2);
    ASSERT_EQ(c->add_kword(0, "DEVICE_CLASS", "INPUT", nullptr), 3);
    ASSERT_EQ(c->add_kword(0, "COLOR_REP", "XYZ_RGB", nullptr), 4);
    ASSERT_EQ(c->add_field(0, "SAMPLE_ID", data_type::nonquoted_string), 0);
    for (const char* f : {"XYZ_X", "XYZ_Y", "XYZ_Z", "RGB_R", "RGB_G", "RGB_B", "STDEV_R", "STDEV_G", "STDEV_B"})
        ASSERT_GE(c->add_field(0, f, data_type::real), 0);
    // A camera whose linear response is a fixed mix of XYZ.
    const double cam[3][3] = {{0.85, 0.35, -0.15}, {-0.30, 1.20, 0.08}, {0.05, -0.25, 1.05}};
    cgats_set_elem ref_set[4];
    for (int s = 0; s < 24; ++s) {
        ASSERT_EQ(reference->get_setarr(0, s, ref_set), 0);
        const auto xyz = lab_to_xyz(ref_set[1].d, ref_set[2].d, ref_set[3].d);
        double rgb[3];
        for (int i = 0; i < 3; ++i)
            rgb[i] = std::max(0.2, 0.98 * (cam[i][0] * xyz[0] + cam[i][1] * xyz[1] + cam[i][2] * xyz[2]));
        cgats_set_elem e[10];
        e[0].c = ref_set[0].c;
        for (int i = 0; i < 3; ++i) {
            e[1 + i].d = xyz[i];
            e[4 + i].d = rgb[i];
            e[7 + i].d = 0.2 + 0.01 * rgb[i];
        }
        ASSERT_EQ(c->add_setarr(0, e), 0) << c->err();
    }
    test::TempDir dir;
    const fs::path ti3 = dir / "measure.ti3";
    const fs::path icc = dir / "camera.icc";
    ASSERT_EQ(c->write_name(ti3.c_str()), 0) << c->err();
    const std::string text = read_file(ti3);
    EXPECT_EQ(text.rfind("CTI3   \n\nDESCRIPTOR \"DVK test \"\"camera\"\"\"\nORIGINATOR \"DVK\"\n", 0), 0u) << text;

    std::string log;
    const std::string cmd = "cd '" + dir.path().string() +
                            "' && colprof -v -qu -aG -ATest -MCamera '-DDVK test' -CDVK '-O" + icc.string() +
                            "' measure 2>&1";
    const int status = run(cmd, &log);
    EXPECT_EQ(status, 0) << log;
    ASSERT_TRUE(fs::exists(icc)) << log;
    const std::string profile = read_file(icc);
    ASSERT_GT(profile.size(), 128u);
    EXPECT_EQ(profile.substr(36, 4), "acsp");
    EXPECT_EQ(profile.substr(12, 4), "scnr");  // an input profile
}

}  // namespace
}  // namespace dvk
