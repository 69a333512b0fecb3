#include <gtest/gtest.h>

#include "pipeline/stages/filters.h"

namespace dvk {
namespace {

const std::vector<std::string> kNone;

TEST(Filters, NamesAndCodesRoundTrip) {
    const int codes[] = {0, 1, 2, 3, 4, 6, 7, 8, 10, 11, 14, 15, 16, 22, 99, 100,
                         1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010};
    for (int c : codes) EXPECT_EQ(filter_code_for_name(filter_name_for_code(c, kNone), kNone), c) << c;
    EXPECT_EQ(filter_code_for_name("Lightness (Lab)", kNone), 6);
    EXPECT_EQ(filter_code_for_name("Red-o-Green", kNone), 5);
    EXPECT_EQ(filter_name_for_code(5, kNone), "Color");
    EXPECT_EQ(filter_code_for_name("no such look", kNone), 0);
    EXPECT_EQ(filter_name_for_code(1010, kNone), "TP25 B&W");
    EXPECT_EQ(filter_name_for_code(100, kNone), "Custom AdobeRGB");
    for (int c : {9, 12, 13, 17, 21, 23, 98, 101, 999, 1011, 1999}) EXPECT_EQ(filter_name_for_code(c, kNone), "Color") << c;
}

TEST(Filters, ExtraLabProfiles) {
    std::vector<std::string> extra = {"one.icc", "two.icc", "Mine.icc"};
    EXPECT_EQ(filter_code_for_name("Mine.icc", extra), 2002);
    EXPECT_EQ(filter_name_for_code(2002, extra), "Mine.icc");
    EXPECT_EQ(lab_filter_profile(2002, "Mine.icc", extra), "/tmp/Mine.icc");
    EXPECT_EQ(filter_name_for_code(2003, extra), "Color");
    // A table name wins over the same name in the list.
    extra.push_back("V50");
    EXPECT_EQ(filter_code_for_name("V50", extra), 11);
}

TEST(Filters, RgbModeAndProfiles) {
    EXPECT_FALSE(filter_is_rgb(0));
    EXPECT_FALSE(filter_is_rgb(6));
    EXPECT_FALSE(filter_is_rgb(1003));
    EXPECT_FALSE(filter_is_rgb(2000));
    EXPECT_TRUE(filter_is_rgb(1));
    EXPECT_TRUE(filter_is_rgb(100));
    EXPECT_TRUE(filter_is_rgb(5));
    EXPECT_STREQ(rgb_filter_profile(15), "BetaRGBTechnicolor4");
    EXPECT_STREQ(rgb_filter_profile(99), "/tmp/BetaRGBCustom.icc");
    EXPECT_EQ(rgb_filter_profile(5), nullptr);
    EXPECT_EQ(rgb_filter_profile(12), nullptr);
    EXPECT_EQ(lab_filter_profile(1004, "LFv2", kNone), "LFv2");
    EXPECT_EQ(lab_filter_profile(4, "Iodocont Blue", kNone), "");
}

TEST(Filters, OutputProfileCodes) {
    EXPECT_STREQ(output_profile_name_for_code(0), "BetaRGB2.2");
    EXPECT_STREQ(output_profile_name_for_code(9), "BetaRGB2.2");
    EXPECT_STREQ(output_profile_name_for_code(-3), "BetaRGB2.2");
    EXPECT_STREQ(output_profile_name_for_code(1), "sRGBwithBPC2.2");
    EXPECT_STREQ(output_profile_name_for_code(8), "HD709");
    EXPECT_STREQ(output_profile_name_for_code(5), "ProPhotoStar");
}

}  // namespace
}  // namespace dvk
