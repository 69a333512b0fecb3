// Reference and measurement files: the Lab conversion, the column rules, the
// error texts, ids, the TI3 layout, and real reference files.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <regex>

#include "profiling/reference_files.h"
#include "tests/profiling/profiling_test_util.h"
#include "tests/support/hostile_files.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

void expect_xyz(const std::array<double, 3>& xyz, double X, double Y, double Z, const char* what) {
    EXPECT_NEAR(xyz[0], X, 1e-9) << what;
    EXPECT_NEAR(xyz[1], Y, 1e-9) << what;
    EXPECT_NEAR(xyz[2], Z, 1e-9) << what;
}

TEST(LabToXyz, CieFormulasOnBothSidesOfTheKnee) {
    // Golden values worked out apart from this code (double precision).
    expect_xyz(lab_to_xyz100(100, 0, 0), 96.4242, 100, 82.5124, "L 100");
    expect_xyz(lab_to_xyz100(0, 0, 0), 0, 0, 0, "L 0");
    // L = 8 takes the linear branch, just above it the cube: they meet.
    expect_xyz(lab_to_xyz100(8, 0, 0), 0.85397626799, 0.885645167904, 0.730767083521, "L 8");
    expect_xyz(lab_to_xyz100(8.000001, 0, 0), 0.853976374737, 0.885645278609, 0.730767174867, "L 8+");
    expect_xyz(lab_to_xyz100(7.9, 0, 0), 0.84330156464, 0.874574603305, 0.721632494977, "L 7.9");
    expect_xyz(lab_to_xyz100(8, 10, -10), 1.12634058069, 0.885645167904, 1.39892375183, "L 8 coloured");
    expect_xyz(lab_to_xyz100(50, 20, -30), 21.7753000678, 18.4186518512, 30.6650306887, "mid");
    // fz below the knee: the linear branch, here below zero.
    expect_xyz(lab_to_xyz100(5, -3, 40), 0.459439232178, 0.55352822994, -1.66249511501, "dark yellow");
}

class ReferenceFiles : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& text) {
        const fs::path p = dir_ / name;
        test::spit(p, text);
        return p.string();
    }
    test::TempDir dir_;
};

TEST_F(ReferenceFiles, ColumnsDecideBetweenXyzAndLab) {
    const std::string both = write("both.cie",
                                   "CTI3\n\nNUMBER_OF_FIELDS 7\nBEGIN_DATA_FORMAT\n"
                                   "SAMPLE_ID XYZ_X XYZ_Y XYZ_Z LAB_L LAB_A LAB_B\nEND_DATA_FORMAT\n"
                                   "NUMBER_OF_SETS 1\nBEGIN_DATA\nA1 10 20 30 100 0 0\nEND_DATA\n");
    std::string error;
    cgats_ptr c = open_reference_cgats(both.c_str(), &error);
    ASSERT_TRUE(c) << error;
    CIEPatch p;
    ASSERT_TRUE(read_cie_set(c.get(), 0, &p));
    EXPECT_EQ(p.id, "A1");
    expect_xyz(p.XYZ, 10, 20, 30, "XYZ wins");

    // Full Lab but only XYZ_X: the Lab values are taken, no absent field read.
    const std::string partial = write("partial.cie",
                                      "IT8.7/2\n\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X LAB_L LAB_A LAB_B\n"
                                      "END_DATA_FORMAT\nNUMBER_OF_SETS 1\nBEGIN_DATA\nA1 10 100 0 0\nEND_DATA\n");
    c = open_reference_cgats(partial.c_str(), &error);
    ASSERT_TRUE(c) << error;
    ASSERT_TRUE(read_cie_set(c.get(), 0, &p));
    expect_xyz(p.XYZ, 96.4242, 100, 82.5124, "Lab");
    std::string why;
    EXPECT_FALSE(read_cie_set(c.get(), 1, &p, &why));
    EXPECT_EQ(why, "there is no set 1 in the first table");
    EXPECT_FALSE(read_cie_set(c.get(), -1, &p));
    EXPECT_FALSE(read_cie_set(nullptr, 0, &p));
}

TEST_F(ReferenceFiles, OpeningFailuresSayWhy) {
    std::string error;
    const std::string missing = (dir_ / "missing.cie").string();
    EXPECT_FALSE(open_reference_cgats(missing.c_str(), &error));
    EXPECT_EQ(error, "CGATS file read error : Unable to open file '" + missing + "' for reading: No such file or directory\n");

    const std::string empty = write("empty.cie", "");
    EXPECT_FALSE(open_reference_cgats(empty.c_str(), &error));
    EXPECT_EQ(error, "Input file isn't a CGATS format file\n");

    const std::string no_sets = write("nosets.cie",
                                      "CTI3\n\nBEGIN_DATA_FORMAT\nSAMPLE_ID LAB_L LAB_A LAB_B\nEND_DATA_FORMAT\n");
    EXPECT_FALSE(open_reference_cgats(no_sets.c_str(), &error));
    EXPECT_EQ(error, "File '" + no_sets + "' no sets of data in first table\n");

    const std::string no_colour = write("nocolour.cie",
                                        "CTI3\n\nBEGIN_DATA_FORMAT\nSAMPLE_ID LAB_L LAB_A XYZ_X XYZ_Y\n"
                                        "END_DATA_FORMAT\nBEGIN_DATA\nA1 1 2 3 4\nEND_DATA\n");
    EXPECT_FALSE(open_reference_cgats(no_colour.c_str(), &error));
    EXPECT_EQ(error, "File '" + no_colour + "' has no full sets of LAB_L,LAB_A,LAB_B or XYZ_X,XYZ_Y,XYZ_Z\n");

    // Only a regular file of a sane size is read: a folder, a device, a FIFO
    // (which would hang an open) and a huge file are refused with the reason.
    const std::string fifo = (dir_ / "fifo.cie").string();
    ASSERT_TRUE(test::make_fifo(fifo));
    ASSERT_TRUE(test::make_sparse_file(dir_ / "huge.cie", std::uintmax_t{1} << 32));
    const std::pair<std::string, std::string> refused[] = {
        {dir_.path().string(), "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {fifo, "not a regular file"},
        {(dir_ / "huge.cie").string(), "too large (4294967296 bytes, at most 33554432)"},
    };
    for (const auto& [path, reason] : refused) {
        EXPECT_FALSE(open_reference_cgats(path.c_str(), &error));
        EXPECT_EQ(error, "CGATS file read error : Unable to open file '" + path + "' for reading: " + reason + "\n");
    }
}

TEST_F(ReferenceFiles, IdsAreCutOnACharacterBoundary) {
    const std::string long_id(120, 'x');
    const std::string accented = std::string(98, 'a') + "\xC3\xA9" + "b";  // 'é' would straddle byte 99
    const std::string path = write("ids.cie", "CTI3\n\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X XYZ_Y XYZ_Z\n"
                                              "END_DATA_FORMAT\nBEGIN_DATA\n" +
                                                  long_id + " 1 2 3\n" + accented + " 1 2 3\nEND_DATA\n");
    std::string error;
    cgats_ptr c = open_reference_cgats(path.c_str(), &error);
    ASSERT_TRUE(c) << error;
    CIEPatch p;
    ASSERT_TRUE(read_cie_set(c.get(), 0, &p));
    EXPECT_EQ(p.id, std::string(99, 'x'));
    ASSERT_TRUE(read_cie_set(c.get(), 1, &p));
    EXPECT_EQ(p.id, std::string(98, 'a'));
    EXPECT_TRUE(patch_ids_equal("a01", "A01"));
    EXPECT_TRUE(is_enforced_patch_id("dvkWht"));
    EXPECT_FALSE(is_enforced_patch_id("DVKWHTX"));
    std::string problem;
    EXPECT_FALSE(patch_ids_usable(std::vector<CIEPatch>{{"A1", {}}, {"a1", {}}}, &problem));
    EXPECT_EQ(problem, "the id \"a1\" is used twice");
    EXPECT_FALSE(patch_ids_usable(std::vector<CIEPatch>{{"A1", {}}, {"", {}}}, &problem));
    EXPECT_EQ(problem, "patch 2 has an empty id");
}

TEST_F(ReferenceFiles, MeasurementSetsNeedTheirDeviations) {
    const std::string with = write("with.ti3",
                                   "CTI3\n\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X XYZ_Y XYZ_Z RGB_R RGB_G RGB_B "
                                   "STDEV_R STDEV_G STDEV_B\nEND_DATA_FORMAT\nBEGIN_DATA\n"
                                   "A1 1 2 3 40.5 50 60 0.1 0.2 0.3\nEND_DATA\n");
    std::string error;
    cgats_ptr c = open_reference_cgats(with.c_str(), &error);
    ASSERT_TRUE(c) << error;
    TI3Patch t;
    ASSERT_TRUE(read_ti3_set(c.get(), 0, &t));
    EXPECT_EQ(t.id, "A1");
    EXPECT_EQ(t.RGB, (std::array<double, 3>{40.5, 50, 60}));
    EXPECT_EQ(t.RGBStdDev, (std::array<double, 3>{0.1, 0.2, 0.3}));
    EXPECT_FALSE(read_ti3_set(c.get(), 1, &t));

    const std::string without = write("without.ti3",
                                      "CTI3\n\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X XYZ_Y XYZ_Z RGB_R RGB_G RGB_B\n"
                                      "END_DATA_FORMAT\nBEGIN_DATA\nA1 1 2 3 4 5 6\nEND_DATA\n");
    c = open_reference_cgats(without.c_str(), &error);
    ASSERT_TRUE(c) << error;
    EXPECT_FALSE(read_ti3_set(c.get(), 0, &t));
}

// The TI3 file as colprof reads it, line by line.
std::string write_sample_ti3(const fs::path& path) {
    cgats_ptr c = new_ti3_cgats("Canon \"EOS\" ISO 100", "Jane Doe");
    EXPECT_TRUE(c);
    const double xyz1[3] = {11.5, 10.0, 5.25}, rgb1[3] = {20.0, 15.5, 8.125}, sd1[3] = {0.2, 0.25, 1.5};
    const double xyz2[3] = {0, 50.0, 100.0}, rgb2[3] = {99.99, 0.5, 2.0}, sd2[3] = {0.001, 0.03, 3.0};
    const double lab3[3] = {100, 0, 0}, rgb3[3] = {100, 100, -2.5}, sd3[3] = {0.5, 0.5, 0.5};
    EXPECT_TRUE(add_ti3_set(c.get(), "A01", nullptr, xyz1, rgb1, sd1));
    EXPECT_TRUE(add_ti3_set(c.get(), "patch 2", lab3, xyz2, rgb2, sd2));  // XYZ wins over Lab
    EXPECT_TRUE(add_ti3_set(c.get(), "B1", lab3, nullptr, rgb3, sd3));
    EXPECT_FALSE(add_ti3_set(c.get(), "C1", nullptr, nullptr, rgb3, sd3));
    EXPECT_FALSE(add_ti3_set(c.get(), nullptr, lab3, nullptr, rgb3, sd3));
    EXPECT_FALSE(add_ti3_set(c.get(), "", lab3, nullptr, rgb3, sd3));
    EXPECT_EQ(c->write_name(path.c_str()), 0) << c->err();
    return test::read_file(path);
}

const char* const kSampleTi3 =
    "CTI3   \n"
    "\n"
    "DESCRIPTOR \"Canon \"\"EOS\"\" ISO 100\"\n"
    "ORIGINATOR \"Jane Doe\"\n"
    "CREATED \"X\"\n"
    "KEYWORD \"DEVICE_CLASS\"\n"
    "DEVICE_CLASS \"INPUT\"\n"
    "KEYWORD \"COLOR_REP\"\n"
    "COLOR_REP \"XYZ_RGB\"\n"
    "\n"
    // The CGATS writer declares the field names that are not standard ones.
    "KEYWORD \"STDEV_R\"\n"
    "KEYWORD \"STDEV_G\"\n"
    "NUMBER_OF_FIELDS 10\n"
    "BEGIN_DATA_FORMAT\n"
    "SAMPLE_ID XYZ_X XYZ_Y XYZ_Z RGB_R RGB_G RGB_B STDEV_R STDEV_G STDEV_B \n"
    "END_DATA_FORMAT\n"
    "\n"
    "NUMBER_OF_SETS 3\n"
    "BEGIN_DATA\n"
    "A01 11.500 10.000 5.2500 20.000 15.500 8.1250 0.20000 0.25000 1.5000 \n"
    "\"patch 2\" 0.0000 50.000 100.00 99.990 0.50000 2.0000 1.0000e-03 0.030000 3.0000 \n"
    "B1 96.424 100.00 82.512 100.00 100.00 -2.5000 0.50000 0.50000 0.50000 \n"
    "END_DATA\n";

TEST_F(ReferenceFiles, Ti3LayoutLineByLine) {
    const std::string text = write_sample_ti3(dir_ / "sample.ti3");
    EXPECT_EQ(test::without_created(text), kSampleTi3);
    // CREATED is the asctime form of the local time.
    EXPECT_TRUE(std::regex_search(text, std::regex("\nCREATED \"(Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
                                                   "[A-Z][a-z]{2} [ 123][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} "
                                                   "[0-9]{4}\"\n")))
        << text;
    EXPECT_FALSE(new_ti3_cgats(nullptr, nullptr));
}

TEST_F(ReferenceFiles, NumbersStayInTheCLocaleWhateverTheProcessLocale) {
    const std::string plain = write_sample_ti3(dir_ / "c.ti3");
    test::GermanLocale german;
    ASSERT_TRUE(german.ok()) << "the de_DE.UTF-8 locale is missing: run scripts/install-deps";
    const std::string under_german = write_sample_ti3(dir_ / "de.ti3");
    EXPECT_EQ(test::without_created(under_german), test::without_created(plain));
    // And they read back as written.
    std::string error;
    const std::string path = (dir_ / "de.ti3").string();
    cgats_ptr c = open_reference_cgats(path.c_str(), &error);
    ASSERT_TRUE(c) << error;
    TI3Patch t;
    ASSERT_TRUE(read_ti3_set(c.get(), 0, &t));
    EXPECT_EQ(t.RGB[1], 15.5);
}

// CIEDE2000 between two Lab colours through LittleCMS.
double de2000(const std::array<double, 3>& a, const std::array<double, 3>& b) {
    const cmsCIELab la{a[0], a[1], a[2]}, lb{b[0], b[1], b[2]};
    return cmsCIE2000DeltaE(&la, &lb, 1, 1, 1);
}

std::array<double, 3> xyz100_to_lab(const std::array<double, 3>& xyz) {
    const cmsCIEXYZ x{xyz[0] / 100, xyz[1] / 100, xyz[2] / 100};
    cmsCIELab lab;
    cmsXYZ2Lab(cmsD50_XYZ(), &lab, &x);
    return {lab.L, lab.a, lab.b};
}

std::vector<CIEPatch> read_reference(const std::string& path) {
    std::string error;
    cgats_ptr c = open_reference_cgats(path.c_str(), &error);
    EXPECT_TRUE(c) << error;
    std::vector<CIEPatch> patches;
    for (int i = 0; c && i < c->table(0).nsets(); ++i) {
        CIEPatch p;
        EXPECT_TRUE(read_cie_set(c.get(), i, &p)) << path << " set " << i;
        patches.push_back(p);
    }
    return patches;
}

TEST(ReferenceFilesOnDisk, BuiltInColorChecker24AgreesWithArgyllsColorChecker) {
    // Argyll's file is an IT8.7/2 reference with Lab only.
    const std::vector<CIEPatch> argyll = read_reference("/usr/share/color/argyll/ref/ColorChecker.cie");
    const std::vector<CIEPatch> ours = read_reference(DVK_BINARY_DIR "/bin/resources/ColorChecker 24");
    ASSERT_EQ(argyll.size(), 24u);
    ASSERT_EQ(ours.size(), 24u);
    double worst = 0;
    for (std::size_t i = 0; i < 24; ++i) {
        EXPECT_EQ(ours[i].id, argyll[i].id);
        const double de = de2000(xyz100_to_lab(ours[i].XYZ), xyz100_to_lab(argyll[i].XYZ));
        EXPECT_LT(de, 3.0) << ours[i].id;
        worst = std::max(worst, de);
    }
    EXPECT_GT(worst, 0.1);  // the newer formulation, not a copy
    // The white patch: light and nearly neutral.
    const auto white = xyz100_to_lab(ours[18].XYZ);
    EXPECT_NEAR(white[0], 95.19, 1e-6);
}

}  // namespace
}  // namespace dvk
