// The message a launch hands its files over in, and the rule of its time: a
// program acts on it only while the launch still waits for the answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/desktop/single_instance.h"

namespace dvk {
namespace {

using namespace std::string_literals;

TEST(InstanceMessage, CarriesItsDeadlineAndIsActedOnOnlyWhileItsLaunchWaits) {
    const std::string m = encodeOpenMessage({"/p/a b.dng", "", "/p/c.dng"}, 1234567890123);
    EXPECT_EQ(m, "DVK2\n1234567890123\n/p/a b.dng\0/p/c.dng\0\0"s);
    const auto whole = decodeOpenMessage(m);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->files, (std::vector<std::string>{"/p/a b.dng", "/p/c.dng"}));
    EXPECT_EQ(whole->deadline, 1234567890123);
    // Every cut of it is a message still to come, not a malformed one.
    for (std::size_t n = 0; n < m.size(); ++n) {
        bool malformed = true;
        EXPECT_FALSE(decodeOpenMessage(m.substr(0, n), &malformed)) << n;
        EXPECT_FALSE(malformed) << n;
    }
    const auto none = decodeOpenMessage(encodeOpenMessage({}, 7));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->files.empty());

    // The older message without a deadline, and deadlines that are none.
    for (const std::string& bad : {"DVK1\n/p/a.dng\0\0"s, "DVK2\n\n/p/a.dng\0\0"s, "DVK2\n12x\n\0"s,
                                   "DVK2\n-5\n\0"s, "DVK2\n99999999999999999999\n\0"s, "DVK2\n9223372036854775808\n\0"s,
                                   "GET / HTTP/1.1\r\n"s}) {
        bool malformed = false;
        EXPECT_FALSE(decodeOpenMessage(bad, &malformed)) << bad;
        EXPECT_TRUE(malformed) << bad;
    }

    // Acted on while at least 2 s of the launch's wait are left; never after
    // its deadline, nor for a deadline further off than a launch waits.
    const std::int64_t now = 5'000'000'000'000, s = 1'000'000'000;
    const struct {
        std::int64_t deadline;
        bool acted;
    } cases[] = {
        {now + 10 * s, true},     // just sent
        {now + 2 * s, true},      // the least time left
        {now + 2 * s - 1, false}, // the answer might come after the launch gave up
        {now, false},
        {now - 8 * s, false},     // read long after the launch gave up
        {now + 10 * s + 1, false},
        {INT64_MAX, false},
        {0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(handOverInTime({{"/p/a.dng"}, c.deadline}, now), c.acted) << (c.deadline - now);
    // The clock every process shares runs on.
    const std::int64_t a = instanceClockNow();
    EXPECT_GT(a, 0);
    EXPECT_GE(instanceClockNow(), a);
}

}  // namespace
}  // namespace dvk
