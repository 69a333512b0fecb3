// Number text: the writer's formats and locale independence of reading and writing.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "profiling/cgats/cgats.h"
#include "profiling/cgats/cgats_numbers.h"
#include "tests/cgats/cgats_test_util.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

std::string fmt(double v) {
    char buf[40];
    const std::size_t n = cgats_format_real(v, buf);
    return std::string(buf, n);
}

// The format table, restated with printf (the test process runs in the C locale).
std::string printf_reference(double v) {
    char buf[64];
    const int w = v < 0 ? 7 : 6;
    const double a = std::fabs(v);
    if (v == 0) {
        std::snprintf(buf, sizeof buf, "%6.4f", v);
    } else {
        const int d = static_cast<int>(std::log10(a));
        if (a >= 1 && d < 4)
            std::snprintf(buf, sizeof buf, "%*.*f", w, 4 - d, v);
        else if (a >= 1)
            std::snprintf(buf, sizeof buf, "%*.4e", w, v);
        else if (d > -2)
            std::snprintf(buf, sizeof buf, "%*.*f", w - d, 5 - d, v);
        else
            std::snprintf(buf, sizeof buf, "%*.4e", w, v);
    }
    return buf;
}

TEST(CgatsNumbers, FormatsOfTheWriter) {
    EXPECT_EQ(fmt(38.48), "38.480");
    EXPECT_EQ(fmt(100), "100.00");
    EXPECT_EQ(fmt(5.1), "5.1000");
    EXPECT_EQ(fmt(0.5), "0.50000");
    EXPECT_EQ(fmt(0.05), "0.050000");
    EXPECT_EQ(fmt(0.005), "5.0000e-03");
    EXPECT_EQ(fmt(12345), "1.2345e+04");
    EXPECT_EQ(fmt(-0.5), "-0.50000");
    EXPECT_EQ(fmt(0), "0.0000");
    EXPECT_EQ(fmt(1), "1.0000");
    EXPECT_EQ(fmt(-1), "-1.0000");
    EXPECT_EQ(fmt(9999.96), "10000.0");
    EXPECT_EQ(fmt(10000), "1.0000e+04");
    EXPECT_EQ(fmt(0.01), "1.0000e-02");
    EXPECT_EQ(fmt(-0.001234), "-1.2340e-03");
    EXPECT_EQ(fmt(96.4242), "96.424");
    EXPECT_EQ(fmt(1e-310), "1.0000e-310");
}

TEST(CgatsNumbers, NonFiniteValuesHaveNoText) {
    char buf[40];
    EXPECT_EQ(cgats_format_real(std::numeric_limits<double>::quiet_NaN(), buf), 0u);
    EXPECT_EQ(cgats_format_real(std::numeric_limits<double>::infinity(), buf), 0u);
    EXPECT_EQ(cgats_format_real(-std::numeric_limits<double>::infinity(), buf), 0u);
}

TEST(CgatsNumbers, FormatsAgreeWithPrintfOverManyMagnitudes) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-12, 12);
    for (int i = 0; i < 20000; ++i) {
        const double v = mantissa(rng) * std::pow(10.0, exponent(rng));
        ASSERT_EQ(fmt(v), printf_reference(v)) << v;
    }
}

TEST(CgatsNumbers, ParsingIsAtoiAndAtofInTheCLocale) {
    EXPECT_EQ(cgats_parse_int("42"), 42);
    EXPECT_EQ(cgats_parse_int("+7"), 7);
    EXPECT_EQ(cgats_parse_int("-13x"), -13);
    EXPECT_EQ(cgats_parse_int(""), 0);
    EXPECT_EQ(cgats_parse_int("-"), 0);
    EXPECT_EQ(cgats_parse_int("99999999999999"), std::numeric_limits<int>::max());
    EXPECT_EQ(cgats_parse_int("-99999999999999"), std::numeric_limits<int>::min());
    EXPECT_DOUBLE_EQ(cgats_parse_real("38.48"), 38.48);
    EXPECT_DOUBLE_EQ(cgats_parse_real("-1.5e-3"), -1.5e-3);
    EXPECT_DOUBLE_EQ(cgats_parse_real("1e"), 1.0);
    EXPECT_DOUBLE_EQ(cgats_parse_real("e5"), 0.0);
    EXPECT_DOUBLE_EQ(cgats_parse_real("+.5"), 0.5);
}

// Switches the process to a decimal-comma locale for one test, building
// de_DE.UTF-8 into a scratch folder when the system does not have it compiled.
class CommaLocale : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
            const std::string cmd = "localedef -i de_DE -f UTF-8 '" + (dir_ / "de_DE.UTF-8").string() +
                                    "' >/dev/null 2>&1";
            if (std::system(cmd.c_str()) == 0) {
                setenv("LOCPATH", dir_.path().c_str(), 1);
                locpath_set_ = true;
                std::setlocale(LC_ALL, "de_DE.UTF-8");
            }
        }
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", 1.5);
        if (std::string(buf) != "1,5") {
            std::setlocale(LC_ALL, "C");
            GTEST_SKIP() << "no decimal-comma locale available";
        }
    }
    void TearDown() override {
        std::setlocale(LC_ALL, "C");
        if (locpath_set_) unsetenv("LOCPATH");
    }

private:
    test::TempDir dir_;
    bool locpath_set_ = false;
};

TEST_F(CommaLocale, NumbersAreReadAndWrittenWithAPoint) {
    EXPECT_EQ(fmt(38.48), "38.480");
    EXPECT_EQ(fmt(0.005), "5.0000e-03");
    EXPECT_DOUBLE_EQ(cgats_parse_real("38.48"), 38.48);

    const std::string text =
        "CGATS.17\nDESCRIPTOR \"x\"\nORIGINATOR \"y\"\nCREATED \"z\"\nINSTRUMENTATION \"i\"\n"
        "MEASUREMENT_SOURCE \"m\"\nPRINT_CONDITIONS \"p\"\n"
        "BEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X VALUE\nEND_DATA_FORMAT\nBEGIN_DATA\nA1 38.48 0.5\nA2 1.25e3 2\nEND_DATA\n";
    cgats_ptr c(new_cgats());
    ASSERT_EQ(test::read_text(c.get(), text), 0) << c->err();
    cgats_set_elem e[3];
    ASSERT_EQ(c->get_setarr(0, 1, e), 0);
    EXPECT_DOUBLE_EQ(e[1].d, 1250.0);
    EXPECT_DOUBLE_EQ(e[2].d, 2.0);
    const std::string out = test::write_text(c.get());
    EXPECT_NE(out.find("A1 38.480 0.50000 \nA2 1250.0 2.0000 \n"), std::string::npos) << out;
}

}  // namespace
}  // namespace dvk
