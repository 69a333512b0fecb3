// The screenshot hook's texts: the settings list and the rectangles file.
#include <gtest/gtest.h>

#include "app/dev_hooks.h"

namespace dvk {
namespace {

TEST(DevHooksWindow, SettingsListAndRects) {
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(parseDevSettings("exposure=-2"), (Pairs{{"exposure", "-2"}}));
    EXPECT_EQ(parseDevSettings(" exposure = -2 ;; curveType=0;bad;=3; filterName=a=b "),
              (Pairs{{"exposure", "-2"}, {"curveType", "0"}, {"filterName", "a=b"}}));
    EXPECT_TRUE(parseDevSettings("").empty());
    EXPECT_EQ(devScreenshotRects(0, 19, 867, 578, 867, 19, 256, 128),
              "imageView 0 19 867 578\nhistogramView 867 19 256 128\n");
    const DevHooks h = readDevHooks([](const char* name) -> const char* {
        return std::string(name) == "DVK_DEV_SCREENSHOT" ? "/tmp/x.png"
               : std::string(name) == "DVK_DEV_SET"      ? "exposure=1"
                                                         : nullptr;
    });
    EXPECT_EQ(h.screenshot, "/tmp/x.png");
    EXPECT_EQ(h.set, "exposure=1");
}

}  // namespace
}  // namespace dvk
