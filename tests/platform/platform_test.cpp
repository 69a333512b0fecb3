#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/dispatch.h"
#include "platform/folders.h"
#include "platform/user_defaults.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {
using test::TempDir;

struct EnvGuard {
    std::string name;
    std::string old;
    bool had;
    EnvGuard(const char* n, const char* value) : name(n) {
        const char* o = std::getenv(n);
        had = o != nullptr;
        if (o) old = o;
        if (value)
            setenv(n, value, 1);
        else
            unsetenv(n);
    }
    ~EnvGuard() {
        if (had)
            setenv(name.c_str(), old.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};

TEST(Dispatch, InlineOnTheMainThread) {
    markMainThread();
    ManualMainQueue queue;
    setMainExecutor(queue.executor());
    int ran = 0;
    runOnMainQueue([&] { ++ran; });
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(queue.pending(), 0u);
    setMainExecutor({});
}

TEST(Dispatch, QueuedFromAWorkerThread) {
    markMainThread();
    ManualMainQueue queue;
    setMainExecutor(queue.executor());
    int ran = 0;
    std::thread worker([&] { runOnMainQueue([&] { ++ran; }); });
    worker.join();
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(queue.pending(), 1u);
    EXPECT_EQ(queue.drain(), 1);
    EXPECT_EQ(ran, 1);
    setMainExecutor({});
}

TEST(Dispatch, InlineExecutorRunsAtOnce) {
    markMainThread();
    setMainExecutor(inlineMainExecutor());
    int ran = 0;
    std::thread worker([&] {
        EXPECT_FALSE(isMainThread());
        runOnMainQueue([&] { ++ran; });
    });
    worker.join();
    EXPECT_EQ(ran, 1);
    setMainExecutor({});
}

TEST(UserDefaults, AbsentKeysReadAsZero) {
    TempDir dir;
    UserDefaults d((dir / "none/defaults.plist").string());
    EXPECT_EQ(d.floatForKey("TiffXResolution"), 0.0f);
    EXPECT_FALSE(d.boolForKey("NoCFA"));
    EXPECT_EQ(d.stringForKey("Nothing"), "");
    EXPECT_FALSE(d.hasKey("NoCFA"));
}

TEST(UserDefaults, RoundTripThroughTheFile) {
    TempDir dir;
    const std::string path = (dir / "cfg/DVK/defaults.plist").string();
    {
        UserDefaults d(path);
        d.setDouble("TiffXResolution", 300.5);
        d.setBool("NoCFA", true);
        d.setInteger("Count", -3);
        d.setString("Name", "a b");
        ASSERT_TRUE(d.synchronize());
    }
    UserDefaults e(path);
    EXPECT_EQ(e.floatForKey("TiffXResolution"), 300.5f);
    EXPECT_TRUE(e.boolForKey("NoCFA"));
    EXPECT_EQ(e.integerForKey("Count"), -3);
    EXPECT_EQ(e.stringForKey("Name"), "a b");
    e.removeKey("NoCFA");
    EXPECT_FALSE(e.boolForKey("NoCFA"));
    e.reload();
    EXPECT_TRUE(e.boolForKey("NoCFA"));
}

TEST(UserDefaults, ReadsAnXmlPropertyListWrittenByHand) {
    TempDir dir;
    const std::string path = (dir / "defaults.plist").string();
    std::ofstream(path) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<plist version=\"1.0\"><dict><key>TiffYResolution</key><integer>240</integer>"
                           "<key>LegacyColorSync</key><true/></dict></plist>\n";
    UserDefaults d(path);
    EXPECT_EQ(d.floatForKey("TiffYResolution"), 240.0f);
    EXPECT_TRUE(d.boolForKey("LegacyColorSync"));
}

TEST(UserDefaults, GarbageFileReadsAsEmpty) {
    TempDir dir;
    const std::string path = (dir / "defaults.plist").string();
    std::ofstream(path) << "not a property list";
    UserDefaults d(path);
    EXPECT_EQ(d.doubleForKey("TiffXResolution"), 0.0);
}

TEST(UserDefaults, PathFollowsXdgConfigHome) {
    EnvGuard g("XDG_CONFIG_HOME", "/x/cfg");
    EXPECT_EQ(defaultsFilePath(), "/x/cfg/DVK/defaults.plist");
    EnvGuard g2("XDG_CONFIG_HOME", nullptr);
    EnvGuard h("HOME", "/home/u");
    EXPECT_EQ(defaultsFilePath(), "/home/u/.config/DVK/defaults.plist");
}

TEST(Folders, ApplicationSupport) {
    {
        EnvGuard g("XDG_DATA_HOME", "/data/");
        EXPECT_EQ(applicationSupportFolder(), "/data/DVK");
    }
    {
        EnvGuard g("XDG_DATA_HOME", nullptr);
        EnvGuard h("HOME", "/home/u");
        EXPECT_EQ(applicationSupportFolder(), "/home/u/.local/share/DVK");
    }
    {
        EnvGuard g("XDG_DATA_HOME", nullptr);
        EnvGuard h("HOME", nullptr);
        EnvGuard t("TMPDIR", "/scratch/");
        EXPECT_EQ(userApplicationSupportFolder(), "/scratch");
    }
}

}  // namespace
}  // namespace dvk
