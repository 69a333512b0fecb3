// One reading of number text for every road a number comes in by: a settings
// paste or import takes a value only when its whole text is a number (else
// nothing at all), a typed field reads its whole text the same way (a comma
// as the point, an infinity as its range's end) or keeps its value; and
// neither depends on the process locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "app/window/control_rules.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/setting_ranges.h"
#include "platform/pasteboard.h"

namespace dvk {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double kNothing = -123.0;  // stands for "nothing taken"

struct Row {
    const char* text;
    double whole;     // parse_number_text (kNothing: no number)
    double pasted;    // exposure after pasting "exposure TEXT" over 0.25 (kNothing: refused)
    double exposure;  // the typed exposure field (kNothing: the old value stays)
    double ev;        // a typed white-balance EV field
    double oneDecimal;  // the typed saturation field
};

const Row kRows[] = {
    {"1", 1, 1, 1, 1, 1},
    {" 2.5 ", 2.5, 2.5, 2.5, 2.5, 2.5},
    {"-.5", -0.5, -0.5, -0.5, -0.5, -0.5},
    {"-1,5", kNothing, kNothing, -1.5, -1.5, -1.5},
    {"abc", kNothing, kNothing, kNothing, kNothing, kNothing},
    {"12abc", kNothing, kNothing, kNothing, kNothing, kNothing},
    {"1 / 2", kNothing, kNothing, kNothing, kNothing, kNothing},
    {"", kNothing, kNothing, kNothing, kNothing, kNothing},
    {"1e", kNothing, kNothing, kNothing, kNothing, kNothing},
    {"+-1", kNothing, kNothing, kNothing, kNothing, kNothing},
    {"0x10", kNothing, kNothing, kNothing, kNothing, kNothing},
    {"1e-400", 0, 0, 0, 0, 0},
    {"0.000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
     "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
     "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
     "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000001",
     0, 0, 0, 0, 0},
    {"1e9", 1e9, 5, 5, 10, 50},
    {"-1E400", -kInfinity, kNothing, -5, -10, -50},
    {"inf", kInfinity, kNothing, 5, 10, 50},
    {"-Infinity", -kInfinity, kNothing, -5, -10, -50},
    {"nan", kNotANumber, kNothing, kNothing, kNothing, kNothing},
};

void expect_value(double expected, const std::optional<double>& got, const char* what) {
    if (expected == kNothing) {
        EXPECT_FALSE(got) << what << " " << *got;
    } else if (std::isnan(expected)) {
        ASSERT_TRUE(got) << what;
        EXPECT_TRUE(std::isnan(*got)) << what;
    } else {
        ASSERT_TRUE(got) << what;
        EXPECT_EQ(*got, expected) << what;
    }
}

void check_table() {
    set_general_pasteboard(nullptr);
    const SettingRange* exposure = setting_range("exposure");
    const SettingRange* ev = setting_range("evRed");
    const SettingRange* saturation = setting_range("saturation");
    for (const Row& row : kRows) {
        SCOPED_TRACE(std::string("\"") + row.text + "\"");
        expect_value(row.whole, parse_number_text(row.text), "whole text");

        RawProcessor p;
        p.setExposure(0.25);
        general_pasteboard()->setString(std::string("contrast 3\nexposure ") + row.text + "\n");
        testing::internal::CaptureStderr();
        const bool taken = p.importSettingsFromFile(std::string());
        const std::string log = testing::internal::GetCapturedStderr();
        if (row.pasted == kNothing) {
            EXPECT_FALSE(taken);
            EXPECT_EQ(p.exposure(), 0.25);
            EXPECT_EQ(p.contrast(), 0.0);  // all or nothing
            EXPECT_NE(log.find("Looks like garbage"), std::string::npos);
            EXPECT_NE(log.find("exposure"), std::string::npos) << log;  // it names the key
        } else {
            EXPECT_TRUE(taken) << log;
            EXPECT_EQ(p.exposure(), row.pasted);
            EXPECT_EQ(p.contrast(), 3.0);
        }

        expect_value(row.exposure, typedFieldValue(row.text, exposure->min, exposure->max), "exposure field");
        expect_value(row.ev, typedFieldValue(row.text, ev->min, ev->max), "EV field");
        expect_value(row.oneDecimal, typedFieldValue(row.text, saturation->min, saturation->max), "saturation field");
    }
    set_general_pasteboard(nullptr);
}

TEST(TypedNumbers, EveryRoadReadsTheWholeTextTheSameWayInAnyLocale) {
    check_table();
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        SCOPED_TRACE("de_DE.UTF-8");
        check_table();
    } else {
        ADD_FAILURE() << "the de_DE.UTF-8 locale is missing: run scripts/install-deps";
    }
    std::setlocale(LC_ALL, previous.c_str());
}

}  // namespace
}  // namespace dvk
