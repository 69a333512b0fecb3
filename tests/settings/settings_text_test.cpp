#include <gtest/gtest.h>

#include "pipeline/settings/settings_text.h"

namespace dvk {
namespace {

TEST(SettingsText, LinesSortedCaseSensitively) {
    SettingsDictionary d;
    d.set("exposure", 0.5);
    d.set("Zeta", "z");
    d.set("blurAB", true);
    d.set("evGreen2", -0.25);
    d.set("evGreen", 0.0);
    d.set("curveType", 1);
    EXPECT_EQ(settings_text_from_dictionary(d),
              "Zeta z\nblurAB 1\ncurveType 1\nevGreen 0\nevGreen2 -0.25\nexposure 0.5\n");
}

TEST(SettingsText, ValueRunsToEndOfLineWithBlanks) {
    SettingsDictionary d = getDictionarySettingsFromString("filterName GF Lith Selenium-Gold\nexposure 1.5\n");
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d.get("filterName").description(), "GF Lith Selenium-Gold");
    EXPECT_TRUE(d.get("exposure").is_string());
    EXPECT_EQ(d.get("exposure").description(), "1.5");
}

TEST(SettingsText, KeyFollowedByBlankAndLineFeedGetsEmptyString) {
    SettingsDictionary d = getDictionarySettingsFromString("destinationFile \ngamma 2.2\n");
    ASSERT_EQ(d.size(), 2u);
    ASSERT_NE(d.find("destinationFile"), nullptr);
    EXPECT_EQ(d.get("destinationFile").description(), "");
    EXPECT_TRUE(d.get("destinationFile").is_string());
    EXPECT_EQ(d.get("gamma").description(), "2.2");
}

TEST(SettingsText, KeyAtEndOfTextGetsEmptyString) {
    SettingsDictionary d = getDictionarySettingsFromString("exposure 1\ncustomRawProfile");
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d.get("customRawProfile").description(), "");
}

TEST(SettingsText, TabSeparatesAndCarriageReturnEndsLines) {
    SettingsDictionary d = getDictionarySettingsFromString("  exposure\t0.25\r\n\n\tcontrast 10\r");
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d.get("exposure").description(), "0.25");
    EXPECT_EQ(d.get("contrast").description(), "10");
}

TEST(SettingsText, TwoBlanksBeforeLineFeedTakeTheNextLineAsValue) {
    // The scanner skips white space and line ends before the value.
    SettingsDictionary d = getDictionarySettingsFromString("exposure  \ngamma 2.2\n");
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d.get("exposure").description(), "gamma 2.2");
}

TEST(SettingsText, EmptyAndBlankTextGiveNothing) {
    EXPECT_TRUE(getDictionarySettingsFromString("").empty());
    EXPECT_TRUE(getDictionarySettingsFromString(" \n\t\r\n").empty());
}

TEST(SettingsText, RoundTripThroughText) {
    SettingsDictionary d;
    d.set("a", 1.0 / 3.0);
    d.set("b", -7);
    d.set("c", "with blanks inside");
    d.set("d", 2.2);
    SettingsDictionary back = getDictionarySettingsFromString(settings_text_from_dictionary(d));
    ASSERT_EQ(back.size(), 4u);
    for (const auto& [k, v] : d) EXPECT_EQ(back.get(k).description(), v.description()) << k;
    EXPECT_EQ(back.get("a").double_value(), 1.0 / 3.0);
}

}  // namespace
}  // namespace dvk
