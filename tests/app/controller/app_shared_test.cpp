// Shared functions of the application: file-name order, file lists, the
// developer hooks and the record of running work.
#include <algorithm>
#include <fstream>
#include <thread>

#include "app/controller/controller_ui.h"
#include "app/hooks/dev_hooks.h"
#include "app/batch/file_list.h"
#include "app/batch/file_names.h"
#include "platform/dispatch.h"
#include "tests/app/controller/controller_fixture.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

TEST(FileNames, DigitRunsCompareByValue) {
    std::vector<std::string> names = {"IMG_10.CR2", "IMG_2.CR2", "IMG_1.CR2", "img_3.cr2", "IMG_02b.CR2"};
    std::sort(names.begin(), names.end(), FileNameOrder{std::locale::classic()});
    EXPECT_EQ(names, (std::vector<std::string>{"IMG_1.CR2", "IMG_2.CR2", "IMG_02b.CR2", "IMG_10.CR2", "img_3.cr2"}));
    EXPECT_LT(compareFileNames("x2", "x10", std::locale::classic()), 0);
    EXPECT_GT(compareFileNames("x10", "x2", std::locale::classic()), 0);
    EXPECT_EQ(compareFileNames("a1", "a1", std::locale::classic()), 0);
    EXPECT_NE(compareFileNames("a02", "a2", std::locale::classic()), 0);  // a total order
}

TEST(CommandLineMode, AnyArgumentBeyondTheProgramPath) {
    char program[] = "/usr/bin/dvk";
    char file[] = "x.CR2";
    char* argv[] = {program, file, nullptr};
    Controller::setArguments(1, argv);
    EXPECT_FALSE(Controller::isCommandLineMode());
    Controller::setArguments(2, argv);
    EXPECT_TRUE(Controller::isCommandLineMode());
    ControllerOptions options;
    options.supportFolder = "/s";
    EXPECT_EQ(Controller(options).batchListFile(), "/s/DVKBatchList_dvk.xml");
    Controller::setArguments(0, argv);
    EXPECT_FALSE(Controller::isCommandLineMode());
}

struct RecordingUi : ControllerUi {
    std::vector<std::string> texts;
    int displays = 0;
    void showInfoText(const std::string& text) override { texts.push_back(text); }
    void displayMainWindow() override { ++displays; }
};

using FileLists = ControllerFixture;

TEST_F(FileLists, FilesAndFoldersExpandSortedWithoutFoldersLinksToFoldersOrInnerDSStore) {
    fs::path base = dir / "choice";
    fs::create_directories(base / "sub" / "deeper");
    fs::create_directories(dir / "elsewhere");
    for (const char* f : {"b.NEF", "a.NEF", ".DS_Store", "sub/c.NEF", "sub/.DS_Store", "sub/deeper/d.NEF"})
        std::ofstream(base / f) << "x";
    std::ofstream(dir / "elsewhere" / "e.NEF") << "x";
    std::ofstream(dir / "single.txt") << "x";
    std::ofstream(dir / ".DS_Store") << "x";
    fs::create_directory_symlink(dir / "elsewhere", base / "link");

    RecordingUi ui;
    controller->setUi(&ui);
    Controller::scanCounter() = 0;
    std::vector<std::string> files = controller->expandFileList(
        {base.string() + "/", "file://" + (dir / "single.txt").string(), (dir / ".DS_Store").string(),
         (dir / "missing").string()});
    controller->setUi(nullptr);
    const std::string b = base.string();
    std::vector<std::string> expected = {b + "/a.NEF", b + "/b.NEF", b + "/sub/c.NEF",
                                         b + "/sub/deeper/d.NEF", (dir / ".DS_Store").string(),
                                         (dir / "single.txt").string()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files, expected);
    EXPECT_EQ(Controller::scanCounter().load(), 6);
    ASSERT_FALSE(ui.texts.empty());
    EXPECT_EQ(ui.texts.back(), "Scanned 6 files");
    EXPECT_GE(ui.displays, 1);
    EXPECT_EQ(pathFromFileURL("file:///a%20b/c%C3%A9.NEF"), "/a b/c\xC3\xA9.NEF");
}

TEST(DevHooks, ReadOnceFromTheEnvironmentAndAlertsTakeTheFirstListedButton) {
    std::map<std::string, std::string> env = {{"DVK_DEV_QUIT_IDLE", "1"}, {"DVK_DEV_ALERTS", "Proceed, Continue"}};
    auto getenv = [&](const char* name) -> const char* {
        auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    DevHooks h = readDevHooks(getenv);
    EXPECT_TRUE(h.quitIdle);
    EXPECT_TRUE(h.scriptedAlerts);
    EXPECT_EQ(h.alertButtons, (std::vector<std::string>{"Proceed", "Continue"}));
    EXPECT_EQ(devAlertAnswer(h.alertButtons, {std::nullopt, "t", {"Cancel", "Continue", "Proceed"}}), 1001);
    EXPECT_EQ(devAlertAnswer(h.alertButtons, {std::nullopt, "t", {"Cancel", "Remove"}}), 1000);

    env = {{"DVK_DEV_QUIT_IDLE", "yes"}, {"DVK_DEV_ALERTS", "first"}};
    h = readDevHooks(getenv);
    EXPECT_FALSE(h.quitIdle);
    EXPECT_TRUE(h.scriptedAlerts && h.alertButtons.empty());
    EXPECT_EQ(devAlertAnswer(h.alertButtons, {std::nullopt, "t", {"Ok", "Cancel"}}), 1000);
    env.clear();
    EXPECT_FALSE(readDevHooks(getenv).scriptedAlerts);
}

TEST(Activity, IdleOnlyAfterTheLaunchAndTheLastWorkEndsOnTheMainQueue) {
    markMainThread();
    ManualMainQueue queue;
    setMainExecutor(queue.executor());
    ActivityTracker activity;
    int idle = 0;
    activity.whenIdle([&] { ++idle; });
    ActivityTracker::Token open = activity.begin();
    activity.launchFinished();
    queue.drain();
    EXPECT_EQ(idle, 0);
    std::thread worker([token = std::move(open)]() mutable { token.end(); });
    worker.join();
    // Work begun before the queued call runs makes it wait for the next idle time.
    ActivityTracker::Token save = activity.begin();
    queue.drain();
    EXPECT_EQ(idle, 0);
    save.end();
    queue.drain();
    EXPECT_EQ(idle, 1);
    activity.begin().end();
    queue.drain();
    EXPECT_EQ(idle, 1);  // once
    setMainExecutor({});
}

}  // namespace
}  // namespace dvk::test
