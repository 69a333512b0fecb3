// The injectable platform layers: waiting without blocking the main thread,
// alerts, panels, modifier keys, start-up checks.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/alert.h"
#include "platform/dispatch.h"
#include "platform/modifier_keys.h"
#include "platform/panels.h"
#include "platform/platform_checks.h"

namespace dvk {
namespace {

// Installs a test main queue on this thread for the test's lifetime.
struct MainQueueScope {
    ManualMainQueue queue;
    std::vector<std::string> blockingWaits;
    MainQueueScope() {
        markMainThread();
        setMainExecutor(queue.executor());
        setBlockingWaitHandler([this](const char* what) { blockingWaits.emplace_back(what); });
    }
    ~MainQueueScope() {
        setMainThreadPump({});
        setBlockingWaitHandler({});
        setMainExecutor({});
        setAlertPresenter({});
        setPanelPresenter(nullptr);
    }
};

TEST(MainQueueWait, SyncHopFromAWorkerRunsOnTheMainThreadWhileTheMainThreadPumps) {
    MainQueueScope scope;
    std::atomic<int> pumped{0};
    // The pump stands for the event loop: it drains the queue while waiting.
    setMainThreadPump([&](const std::function<bool()>& done) {
        while (!done()) {
            pumped += scope.queue.drain();
            std::this_thread::yield();
        }
    });
    std::thread::id ranOn;
    Completion finished;
    std::thread worker([&] {
        bool ran = runOnMainQueueSync([&] { ranOn = std::this_thread::get_id(); });
        EXPECT_TRUE(ran);
        finished.signal();
    });
    finished.wait();  // on the main thread: pumps, never blocks
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_GE(pumped.load(), 1);
    EXPECT_TRUE(scope.blockingWaits.empty());
}

TEST(MainQueueWait, BlockingWaitOnTheMainThreadIsCaughtAndADroppedTaskReleasesItsCaller) {
    MainQueueScope scope;
    Completion c;
    std::thread signaller([c]() mutable {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        c.signal();
    });
    c.wait();  // no pump installed: a blocking wait on the main thread
    signaller.join();
    ASSERT_EQ(scope.blockingWaits.size(), 1u);

    // A queue that ends without running a task lets the waiting worker go.
    setMainExecutor([](MainTask) {});
    bool ran = true;
    std::thread worker([&] { ran = runOnMainQueueSync([] {}); });
    worker.join();
    EXPECT_FALSE(ran);
}

TEST(Alerts, NothingShownWithoutTextOrButtonsAndScriptedAnswersByTitleOrPosition) {
    MainQueueScope scope;
    ScriptedAlerts alerts;
    setAlertPresenter(alerts.presenter());
    EXPECT_EQ(showAlert("t", std::nullopt, {"Ok"}), -1);
    EXPECT_EQ(showAlert("t", "text", {}), -1);
    EXPECT_EQ(alerts.count(), 0u);

    alerts.answer("Remove");
    EXPECT_EQ(showAlert(std::nullopt, "Sure?", {"Cancel", "Remove"}), 1001);
    alerts.answerIndex(2);
    EXPECT_EQ(showAlertf("T", {"A", "B", "C"}, "%d files", 3), 1002);
    EXPECT_EQ(showAlert("T", "x", {"Ok"}), 1000);  // no answer queued: the first button
    ASSERT_EQ(alerts.count(), 3u);
    EXPECT_EQ(alerts.requests()[1].text, "3 files");
    EXPECT_FALSE(alerts.requests()[0].title.has_value());

    setAlertPresenter({});
    EXPECT_EQ(showAlert("T", "x", {"Ok"}), -1);  // no presenter: nothing shown
}

TEST(Alerts, FromAWorkerPausesThenRunsOnTheMainThread) {
    MainQueueScope scope;
    std::thread::id presentedOn;
    setAlertPresenter([&](const AlertRequest&) {
        presentedOn = std::this_thread::get_id();
        return 1001;
    });
    int result = 0;
    auto start = std::chrono::steady_clock::now();
    std::thread worker([&] { result = showAlert("T", "x", {"A", "B"}); });
    while (scope.queue.pending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    scope.queue.drain();
    worker.join();
    EXPECT_EQ(result, 1001);
    EXPECT_EQ(presentedOn, std::this_thread::get_id());
}

TEST(Panels, ScriptedAnswersInOrderThenCancelAndNoPresenterCancels) {
    MainQueueScope scope;
    EXPECT_FALSE(runOpenPanel({}).has_value());
    auto panels = std::make_shared<ScriptedPanels>();
    setPanelPresenter(panels);
    panels->answerOpen({"/a", "/b/"});
    panels->answerSave("/out/x.tif");
    OpenPanelRequest open;
    open.startPath = "/a";
    EXPECT_EQ(runOpenPanel(open), (std::vector<std::string>{"/a", "/b/"}));
    EXPECT_EQ(runSavePanel({}), std::optional<std::string>("/out/x.tif"));
    EXPECT_FALSE(runOpenPanel({}).has_value());
    ASSERT_EQ(panels->openRequests().size(), 2u);
    EXPECT_EQ(panels->openRequests()[0].startPath, "/a");
    EXPECT_TRUE(panels->openRequests()[0].canChooseDirectories && panels->openRequests()[0].canChooseFiles);
}

TEST(ModifierKeys, TestsSetTheFlagsAndTheOldQueryComesBack) {
    EXPECT_EQ(currentModifierFlags(), 0u);
    {
        ScopedModifierFlags shiftControl(kShiftKeyMask | kControlKeyMask);
        EXPECT_EQ(currentModifierFlags(), 0x60000u);
        {
            ScopedModifierFlags option(kAlternateKeyMask);
            EXPECT_EQ(currentModifierFlags(), 0x80000u);
        }
        EXPECT_EQ(currentModifierFlags(), 0x60000u);
    }
    EXPECT_EQ(currentModifierFlags(), 0u);
}

// Native without a word: no failure line at every start about a check
// that does not exist here.
TEST(PlatformChecks, NativeWithoutAFailureLineAndCoreDumpsLifted) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(sysctlbyname_with_pid(0), 1);
    EXPECT_EQ(sysctlbyname_with_pid(static_cast<int>(getpid())), 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "");

    // In a child, so this process's limits stay as they are.
    pid_t pid = fork();
    if (pid == 0) {
        struct rlimit before;
        getrlimit(RLIMIT_CORE, &before);
        enable_core_dumps();
        struct rlimit after;
        getrlimit(RLIMIT_CORE, &after);
        // Raising the hard limit needs privilege; without it the soft limit reaches the old hard one at most.
        bool lifted = after.rlim_cur == RLIM_INFINITY || after.rlim_cur == before.rlim_max;
        _exit(lifted ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace dvk
