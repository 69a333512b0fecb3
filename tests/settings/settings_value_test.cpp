#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

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

// Many keys (as a large settings file holds): each key keeps the place of its
// first setting and the value of its last, through replacements and erasures,
// whatever the size; checked against a plain list.
TEST(SettingsDictionary, ManyKeysKeepFirstPlaceAndLastValue) {
    SettingsDictionary d;
    std::vector<std::pair<std::string, int>> model;
    const auto put = [&](const std::string& key, int value) {
        d.set(key, value);
        auto it = std::find_if(model.begin(), model.end(), [&](const auto& e) { return e.first == key; });
        if (it == model.end())
            model.emplace_back(key, value);
        else
            it->second = value;
    };
    const auto same = [&](const char* when) {
        ASSERT_EQ(d.size(), model.size()) << when;
        for (std::size_t i = 0; i < model.size(); ++i) {
            EXPECT_EQ(d.entries()[i].first, model[i].first) << when;
            EXPECT_EQ(d.entries()[i].second.int_value(), model[i].second) << when;
            EXPECT_EQ(d.get(model[i].first).int_value(), model[i].second) << when;
        }
    };
    for (int i = 0; i < 300; ++i) {
        put("k" + std::to_string(i % 97), i);  // from 97 on, every key again
        if (i % 40 == 39) {
            const std::string gone = "k" + std::to_string(i % 13);
            EXPECT_TRUE(d.erase(gone));
            model.erase(std::find_if(model.begin(), model.end(), [&](const auto& e) { return e.first == gone; }));
            EXPECT_FALSE(d.contains(gone));
            same("after an erasure");
        }
    }
    same("at the end");
    // Erased down to a few and filled again.
    while (d.size() > 3) {
        EXPECT_TRUE(d.erase(model.front().first));
        model.erase(model.begin());
    }
    for (int i = 0; i < 50; ++i) put("n" + std::to_string(i), -i);
    put(model.front().first, 7);
    same("refilled");
    EXPECT_FALSE(d.find("k1000"));
}

}  // namespace
}  // namespace dvk
