#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "pipeline/settings/settings_value.h"

namespace dvk {
namespace {

TEST(SettingsValue, StringConversionsReadTheLeadingNumber) {
    EXPECT_DOUBLE_EQ(SettingsValue("1.5").double_value(), 1.5);
    EXPECT_DOUBLE_EQ(SettingsValue("  -0.25xyz").double_value(), -0.25);
    EXPECT_DOUBLE_EQ(SettingsValue("+2e3").double_value(), 2000.0);
    EXPECT_EQ(SettingsValue("abc").double_value(), 0.0);
    EXPECT_EQ(SettingsValue("").double_value(), 0.0);
    EXPECT_EQ(SettingsValue("1500").int_value(), 1500);
    EXPECT_EQ(SettingsValue("1.9").int_value(), 1);
    EXPECT_EQ(SettingsValue(" -7 ").int_value(), -7);
    EXPECT_EQ(SettingsValue("x7").int_value(), 0);
    EXPECT_EQ(SettingsValue("99999999999").int_value(), 2147483647);
}

TEST(SettingsValue, BoolOfStringFollowsTheFirstCharacter) {
    EXPECT_TRUE(SettingsValue("YES").bool_value());
    EXPECT_TRUE(SettingsValue("true").bool_value());
    EXPECT_TRUE(SettingsValue("1").bool_value());
    EXPECT_TRUE(SettingsValue("  007").bool_value());
    EXPECT_FALSE(SettingsValue("0").bool_value());
    EXPECT_FALSE(SettingsValue("NO").bool_value());
    EXPECT_FALSE(SettingsValue("false").bool_value());
    EXPECT_FALSE(SettingsValue("").bool_value());
}

TEST(SettingsValue, NumbersConvertBetweenKinds) {
    EXPECT_EQ(SettingsValue(2.9).int_value(), 2);
    EXPECT_EQ(SettingsValue(-2.9).int_value(), -2);
    EXPECT_EQ(SettingsValue(1e300).int_value(), 2147483647);
    EXPECT_EQ(SettingsValue(true).int_value(), 1);
    EXPECT_DOUBLE_EQ(SettingsValue(3).double_value(), 3.0);
    EXPECT_TRUE(SettingsValue(0.5).bool_value());
    EXPECT_FALSE(SettingsValue(0).bool_value());
    EXPECT_TRUE(SettingsValue().is_null());
    EXPECT_EQ(SettingsValue().int_value(), 0);
}

TEST(SettingsValue, DescriptionIsShortestExactDecimal) {
    EXPECT_EQ(SettingsValue(2.2).description(), "2.2");
    EXPECT_EQ(SettingsValue(0.1).description(), "0.1");
    EXPECT_EQ(SettingsValue(50.0).description(), "50");
    EXPECT_EQ(SettingsValue(-0.333).description(), "-0.333");
    EXPECT_EQ(SettingsValue(true).description(), "1");
    EXPECT_EQ(SettingsValue(-12).description(), "-12");
    EXPECT_EQ(SettingsValue("a b").description(), "a b");
    // Every double survives description and parse unchanged.
    for (double v : {1.0 / 3.0, -2.718281828459045, 1e-300, 123456789.125, 5e-324}) {
        EXPECT_EQ(SettingsValue(SettingsValue(v).description()).double_value(), v);
    }
}

TEST(SettingsValue, NonFiniteTextParsesAsNonFinite) {
    EXPECT_TRUE(std::isnan(SettingsValue("nan").double_value()));
    EXPECT_TRUE(std::isinf(SettingsValue("inf").double_value()));
    EXPECT_TRUE(std::isinf(SettingsValue("1e999").double_value()));
    EXPECT_TRUE(std::isinf(SettingsValue("-1e999").double_value()));
    EXPECT_LT(SettingsValue("-1e999").double_value(), 0);
    EXPECT_EQ(SettingsValue("1e-999").double_value(), 0.0);
}

TEST(SettingsDictionary, KeepsInsertionOrderAndReplacesInPlace) {
    SettingsDictionary d;
    d.set("b", 1);
    d.set("a", 2);
    d.set("b", 3);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d.entries()[0].first, "b");
    EXPECT_EQ(d.entries()[0].second.int_value(), 3);
    EXPECT_EQ(d.get("a").int_value(), 2);
    EXPECT_TRUE(d.get("zz").is_null());
    EXPECT_TRUE(d.erase("a"));
    EXPECT_FALSE(d.erase("a"));
    SettingsDictionary e;
    e.set("b", 3);
    EXPECT_TRUE(d.same_contents(e));
    e.set("b", 3.0);
    EXPECT_FALSE(d.same_contents(e));
}

}  // namespace
}  // namespace dvk
