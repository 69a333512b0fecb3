#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/settings/key_value_observing.h"

namespace dvk {
namespace {

TEST(KeyValueObservers, OnlyObserversOfTheKeyAreTold) {
    KeyValueObservers obs;
    std::vector<std::string> seen;
    auto a = obs.add("exposure", [&](std::string_view k) { seen.push_back("a:" + std::string(k)); });
    obs.add("gamma", [&](std::string_view k) { seen.push_back("b:" + std::string(k)); });
    obs.add("exposure", [&](std::string_view k) { seen.push_back("c:" + std::string(k)); });
    obs.notify("exposure");
    EXPECT_EQ(seen, (std::vector<std::string>{"a:exposure", "c:exposure"}));
    EXPECT_EQ(obs.count("exposure"), 2u);
    obs.remove(a);
    seen.clear();
    obs.notify("exposure");
    obs.notify("contrast");
    EXPECT_EQ(seen, (std::vector<std::string>{"c:exposure"}));
}

TEST(KeyValueObservers, ObserverMayRemoveItselfWhileTold) {
    KeyValueObservers obs;
    int calls = 0;
    KeyValueObservers::Token t = 0;
    t = obs.add("k", [&](std::string_view) {
        ++calls;
        obs.remove(t);
    });
    obs.notify("k");
    obs.notify("k");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(obs.count("k"), 0u);
}

}  // namespace
}  // namespace dvk
