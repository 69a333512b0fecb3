// The screenshot hook's texts: the settings list and the rectangles file.
#include <gtest/gtest.h>

#include <deque>

#include "app/hooks/dev_hooks.h"
#include "platform/dispatch.h"

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

TEST(DevActions, EachRunsOnceThePreviousWorkAndChildrenHaveEndedAndTheQuitWaits) {
    EXPECT_EQ(parseDevActions("  archiveCrashLogs:\tinstallLR2Plugin:\n terminate: "),
              (std::vector<std::string>{"archiveCrashLogs:", "installLR2Plugin:", "terminate:"}));
    EXPECT_TRUE(parseDevActions(" ").empty());

    ManualMainQueue queue;
    setMainExecutor(queue.executor());
    ActivityTracker activity;
    int children = 0;
    std::deque<std::function<void()>> later;
    std::vector<std::string> ran;
    ActivityTracker::Token work;
    DevActionRunner::Ports ports;
    ports.childCount = [&] { return children; };
    ports.later = [&](std::function<void()> check) { later.push_back(std::move(check)); };
    ports.find = [&](const std::string& name) -> std::function<void()> {
        if (name == "nothing:") return {};
        return [&, name] {
            ran.push_back(name);
            if (name == "start:") {  // work and a child that outlive the action
                work = activity.begin();
                children = 1;
            }
            if (name == "last:") {
                EXPECT_EQ(activity.running(), 0);  // the runner's own work has ended
            }
        };
    };
    DevActionRunner runner({"start:", "nothing:", "next:", "last:"}, activity, ports);
    bool quit = false;
    activity.whenIdle([&] { quit = true; });  // DVK_DEV_QUIT_IDLE, asked for after the runner

    const auto turn = [&] {
        queue.drain();
        if (later.empty()) return;
        auto check = std::move(later.front());
        later.pop_front();
        check();
        queue.drain();
    };
    turn();
    EXPECT_TRUE(ran.empty());  // the launch has not ended
    activity.launchFinished();
    turn();
    EXPECT_EQ(ran, (std::vector<std::string>{"start:"}));
    EXPECT_FALSE(quit);
    for (int i = 0; i < 3; ++i) turn();
    EXPECT_EQ(ran.size(), 1u);  // its work goes on
    work.end();
    for (int i = 0; i < 3; ++i) turn();
    EXPECT_EQ(ran.size(), 1u);  // its child goes on
    children = 0;
    turn();  // "nothing:" is skipped, "next:" runs
    EXPECT_EQ(ran, (std::vector<std::string>{"start:", "next:"}));
    EXPECT_FALSE(quit);
    turn();
    EXPECT_EQ(ran, (std::vector<std::string>{"start:", "next:", "last:"}));
    EXPECT_EQ(runner.remaining(), 0u);
    EXPECT_TRUE(quit);
    EXPECT_TRUE(later.empty());
    setMainExecutor({});
}

}  // namespace
}  // namespace dvk
