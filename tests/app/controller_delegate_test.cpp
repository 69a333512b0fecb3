// The application delegate: launch and quit steps with their defaults and
// records, the update check, open events gathered by the real 250 ms timer,
// and drops.
#include <atomic>
#include <fstream>
#include <thread>

#include "app/controller_ui.h"
#include "app/update_check.h"
#include "platform/dispatch.h"
#include "platform/modifier_keys.h"
#include "tests/app/controller_fixture.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(DelegateDefaults, WhiteBalanceStepFromRBGGStep) {
    TempDir dir;
    UserDefaults d((dir / "d.plist").string());
    EXPECT_EQ(whiteBalanceStepTag(d), 5);  // absent
    const std::pair<double, long> cases[] = {{0.004, 5}, {0.005, 1}, {0.1, 10}, {0.25, 25}};
    for (auto [step, tag] : cases) {
        d.setDouble("RBGGStep", step);
        EXPECT_EQ(whiteBalanceStepTag(d), tag) << step;
    }
}

TEST(UpdateCheck, TheAddressKeepsHostPortAndQueryOfTheFeed) {
    EXPECT_EQ(updateCheckURL("https://updates.example.org/feed/appcast.xml?Build=1;QWNtZUZpeHR1cmUgMQ=="),
              "https://updates.example.org/dvk_updates_64.xml?Build=1;QWNtZUZpeHR1cmUgMQ==");
    EXPECT_EQ(updateCheckURL("http://user:pw@h.example:8443/x.xml?a=1&b=%20#frag"),
              "https://h.example:8443/dvk_updates_64.xml?a=1&b=%20");
    EXPECT_EQ(updateCheckURL("https://[::1]:9000/feed"), "https://[::1]:9000/dvk_updates_64.xml");
    EXPECT_EQ(updateCheckURL("https://h.example"), "https://h.example/dvk_updates_64.xml");
    for (const char* none : {"", "dvk_updates_64.xml?Build=1", "file:///feed.xml", "https://:80/x", "https://h:x/"})
        EXPECT_EQ(updateCheckURL(none), std::nullopt) << none;
}

// The windows' side of the delegate, recorded.
struct DelegateUi : ControllerUi {
    std::vector<std::string> calls;
    std::function<void()> onCloseProfiling;
    std::function<void()> onTerminate;
    std::optional<WindowStateDefaults> states;
    void setPreferenceMenuStates(const PreferenceMenuStates& s) override {
        calls.push_back(s.checkForUpdates ? "preferences updates" : "preferences");
    }
    void setWhiteBalanceStepTag(long tag) override { calls.push_back("wb step " + std::to_string(tag)); }
    void settingsSelectorChanged() override { calls.push_back("selector"); }
    void registerForDrops() override { calls.push_back("drops"); }
    void closeProfilingWindow() override {
        calls.push_back("close profiling");
        if (onCloseProfiling) onCloseProfiling();
    }
    std::optional<WindowStateDefaults> windowStateDefaults() const override { return states; }
    void terminate() override {
        calls.push_back("terminate");
        if (onTerminate) onTerminate();
    }
};

class Delegate : public ControllerFixture {
protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        setMainExecutor(queue.executor());
        roads().isBusy = [this] { return !raw().isNotInProgress(); };
        roads().startOpen = [this](const std::string& p) {
            requests.push_back({p});
            return true;
        };
        roads().runBatchInThread = [this](std::vector<BatchEntry> entries) {
            std::vector<std::string> r;
            for (BatchEntry& e : entries) r.push_back(e.sourceFile);
            requests.push_back(r);
            batches.push_back(r);
            return true;
        };
    }
    void TearDown() override {
        queue.drain();
        setMainExecutor({});
        ControllerFixture::TearDown();
    }
    ControllerRoads& roads() { return controller->roads(); }
    // Runs the main queue for a while, or until `done` answers true.
    void runFor(std::chrono::milliseconds time, const std::function<bool()>& done = {}) {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            queue.drain();
            if (done && done()) return;
            std::this_thread::sleep_for(2ms);
        }
        queue.drain();
    }
    // A file to open; its content does not matter until it is opened.
    std::string file(const std::string& name) {
        fs::create_directories(dir / "in");
        std::ofstream(dir / "in" / name) << "x";
        return (dir / "in" / name).string();
    }
    // Opens a raw file with its preview, as the open road leaves it.
    void openWithPreview(const std::string& path) {
        openFile(path);
        ASSERT_EQ(raw().initFloatPreviewFromRawFile(path), 0);
        ASSERT_NE(raw().preview(), nullptr);
    }
    std::vector<HistoryMO> exitRecords() {
        std::vector<HistoryMO> out;
        for (HistoryMO& r : controller->persistentStoreCoordinator().fetchAll())
            if (r.comment() == "Action: Exit") out.push_back(std::move(r));
        return out;
    }

    ManualMainQueue queue;
    std::vector<std::vector<std::string>> requests;
    std::vector<std::vector<std::string>> batches;
};

TEST_F(Delegate, LaunchStepsRunInOrderWithTheirDefaults) {
    defaults->setStringArray("Editors", {"/usr/bin/gimp", "/usr/bin/darktable"});
    defaults->setInteger("SelectedEditor", 2);
    defaults->setBool("SUCheckAtStartup", true);
    defaults->setDouble("RBGGStep", 0.1);
    DelegateUi ui;
    controller = std::make_unique<Controller>(options());
    controller->setUi(&ui);
    controller->roads().initEditorsButton = [&] { ui.calls.push_back("editors"); };
    controller->roads().completeBatch = [&] { ui.calls.push_back("completeBatch"); };
    controller->launch();
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"editors", "preferences updates", "wb step 10", "selector",
                                                  "completeBatch", "drops"}));
    EXPECT_EQ(controller->editors(), (std::vector<std::string>{"/usr/bin/gimp", "/usr/bin/darktable"}));
    EXPECT_EQ(controller->currentEditor(), 2);
    controller->setUi(nullptr);
}

TEST_F(Delegate, TheUpdateCheckIsSentOnlyWhenOnWithTheExactAddress) {
    std::mutex mutex;
    std::vector<std::string> sent;
    UpdateRequester requester = [&](const std::string& url, const std::function<bool()>&) {
        std::lock_guard<std::mutex> lock(mutex);
        sent.push_back(url);
        return std::optional<std::string>("offline");
    };
    defaults->setString("SUFeedURL", "https://feed.example:8443/dvk_updates_64.xml?Build=7;QWNtZQ==");
    controller->applicationWillFinishLaunching(requester);  // "SUCheckAtStartup" absent: off
    defaults->setBool("SUCheckAtStartup", true);
    controller->applicationWillFinishLaunching(requester);
    controller.reset();  // joins the request's thread
    EXPECT_EQ(sent, std::vector<std::string>{"https://feed.example:8443/dvk_updates_64.xml?Build=7;QWNtZQ=="});

    defaults->setString("SUFeedURL", "no address");
    controller = std::make_unique<Controller>(options());
    controller->applicationWillFinishLaunching(requester);
    controller.reset();
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(Delegate, QuitRecordsTheOpenFilesSettingsOnlyWhenTheyAreNotItsDefault) {
    DelegateUi ui;
    ui.states = WindowStateDefaults{1, 1, 0, 1, 0, 1, 1};
    controller->setUi(&ui);
    // No file open: no record.
    EXPECT_EQ(controller->applicationShouldTerminate(), TerminateReply::Now);
    EXPECT_TRUE(exitRecords().empty());

    const std::string a = acmeFile("q/a.dng");
    openWithPreview(a);
    raw().setExposure(0.75);
    record(photos() + "/q/");  // the default equals the settings
    EXPECT_EQ(controller->applicationShouldTerminate(), TerminateReply::Now);
    EXPECT_TRUE(exitRecords().empty());

    raw().setExposure(-1);
    EXPECT_EQ(controller->applicationShouldTerminate(), TerminateReply::Now);
    ASSERT_EQ(exitRecords().size(), 1u);
    EXPECT_EQ(exitRecords()[0].sourceFile(), a);
    EXPECT_EQ(exitRecords()[0].valueForKey("exposure").double_value(), -1);

    // The profiling panel's close steps come first: the settings they give
    // back are the ones compared (with the file's own newest record now) and
    // recorded.
    raw().setExposure(0.2);
    ui.calls.clear();
    ui.onCloseProfiling = [this] { raw().setExposure(-1); };
    EXPECT_EQ(controller->applicationShouldTerminate(), TerminateReply::Now);
    EXPECT_EQ(ui.calls, std::vector<std::string>{"close profiling"});
    EXPECT_EQ(exitRecords().size(), 1u);
    raw().setExposure(2);
    ui.onCloseProfiling = [this] { raw().setExposure(1.5); };
    controller->applicationShouldTerminate();
    ASSERT_EQ(exitRecords().size(), 2u);
    EXPECT_EQ(exitRecords()[0].valueForKey("exposure").double_value(), 1.5);

    EXPECT_EQ(defaults->integerForKey("HistogramB"), 1);
    EXPECT_EQ(defaults->integerForKey("DiagramWindow"), 1);
    EXPECT_EQ(defaults->integerForKey("HistogramG"), 0);
    EXPECT_FALSE(defaults->hasKey("RawCurveType"));
    controller->setUi(nullptr);
}

TEST_F(Delegate, EditorsAreWrittenEvenWhenTheLastOneWasDeletedAndRawStatesOnlyWhenRaw) {
    defaults->setStringArray("Editors", {"/usr/bin/gimp"});
    controller = std::make_unique<Controller>(options());
    controller->launch();
    controller->editors().clear();
    controller->setCurrentEditor(0);
    raw().setRaw(1);
    raw().setCurveType(2);
    EXPECT_EQ(controller->applicationShouldTerminate(), TerminateReply::Now);
    UserDefaults reread(defaults->path());
    EXPECT_EQ(reread.stringArrayForKey("Editors"), std::vector<std::string>{});
    EXPECT_EQ(reread.integerForKey("SelectedEditor"), 0);
    EXPECT_EQ(reread.integerForKey("RawCurveType"), 2);
    EXPECT_TRUE(reread.hasKey("RawInterpolation"));
    EXPECT_FALSE(reread.hasKey("CopyTags"));  // no window: its states stay as they were
}

TEST_F(Delegate, AFailedStoreSaveAsksQuitAnywayAndCancelKeepsRunning) {
    openWithPreview(acmeFile("a.dng"));
    raw().setExposure(1);
    ASSERT_TRUE(controller->persistentStoreCoordinator().write([](HistoryStore::Transaction& t) {
        return t.execute("CREATE TRIGGER no_insert BEFORE INSERT ON History2 BEGIN SELECT RAISE(ABORT, 'full'); END");
    }));
    alerts.answer("OK");
    alerts.answer("Cancel");
    EXPECT_EQ(controller->applicationShouldTerminate(), TerminateReply::Cancel);
    ASSERT_EQ(alerts.count(), 2u);
    EXPECT_EQ(alerts.requests()[1].text, "Could not save changes to history while quitting. Quit anyway?");
    EXPECT_EQ(alerts.requests()[1].buttons, (std::vector<std::string>{"Yes", "Cancel"}));
    alerts.answer("OK");
    alerts.answer("Yes");
    EXPECT_EQ(controller->applicationShouldTerminate(), TerminateReply::Now);
    EXPECT_TRUE(exitRecords().empty());
}

TEST_F(Delegate, QuittingWhileWorkRunsWaitsPostponesTheBatchAndQuitsWhenTheWorkHasEnded) {
    DelegateUi ui;
    controller->setUi(&ui);
    int postponed = 0;
    roads().clickCancel = [&](const std::string& title) { postponed += title == "Postpone"; };
    std::vector<TerminateReply> replies;
    ui.onTerminate = [&] { replies.push_back(controller->applicationShouldTerminate()); };

    // A "save" writes its file in pieces while it holds its token.
    const fs::path out = dir / "out.tif";
    std::atomic<bool> written{false};
    std::uintmax_t sizeAtQuit = 0;
    ui.onTerminate = [&] {
        sizeAtQuit = fs::exists(out) ? fs::file_size(out) : 0;
        replies.push_back(controller->applicationShouldTerminate());
    };
    auto token = std::make_shared<ActivityTracker::Token>(controller->activity().begin());
    std::thread save([&, token]() mutable {
        std::ofstream f(out, std::ios::binary);
        for (int i = 0; i < 4; ++i) {
            f << std::string(1000, 'x') << std::flush;
            std::this_thread::sleep_for(30ms);
        }
        f.close();
        written = true;
        token.reset();
    });
    EXPECT_EQ(controller->applicationShouldTerminate(), TerminateReply::Later);
    EXPECT_EQ(controller->applicationShouldTerminate(), TerminateReply::Later);
    EXPECT_EQ(postponed, 1);
    // Open events are refused meanwhile.
    EXPECT_EQ(controller->applicationOpenFiles({file("a.CR2")}), OpenReply::Failure);
    token.reset();
    runFor(3s, [&] { return !replies.empty(); });
    save.join();
    ASSERT_EQ(replies, std::vector<TerminateReply>{TerminateReply::Now});
    EXPECT_TRUE(written);
    EXPECT_EQ(sizeAtQuit, 4000u);
    controller->setUi(nullptr);
}

TEST_F(Delegate, EventsWithin250msMakeOneRequestAndLaterOnesAnother) {
    std::vector<std::string> ten;
    for (char c = 'a'; c < 'a' + 10; ++c) ten.push_back(file(std::string(1, c) + ".CR2"));

    // In one event.
    EXPECT_EQ(controller->applicationOpenFiles(ten), OpenReply::Success);
    runFor(600ms, [&] { return !requests.empty(); });
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0], ten);

    // One file an event, 100 ms apart.
    requests.clear();
    batches.clear();
    for (const std::string& f : ten) {
        EXPECT_EQ(controller->applicationOpenFiles({f}), OpenReply::Success);
        runFor(100ms);
        EXPECT_TRUE(requests.empty());
    }
    runFor(600ms, [&] { return !requests.empty(); });
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0], ten);

    // 300 ms apart: two requests, each file opened on its own.
    requests.clear();
    batches.clear();
    controller->applicationOpenFiles({ten[0]});
    runFor(300ms);
    controller->applicationOpenFiles({ten[1]});
    runFor(600ms, [&] { return requests.size() == 2; });
    EXPECT_EQ(requests, (std::vector<std::vector<std::string>>{{ten[0]}, {ten[1]}}));
    EXPECT_TRUE(batches.empty());
}

TEST_F(Delegate, APathTwiceOpensOnceShiftMetaMakesABatchAndBusyRefuses) {
    const std::string a = file("a.CR2");
    controller->applicationOpenFiles({a});
    controller->applicationOpenFiles({a, a});
    runFor(600ms, [&] { return !requests.empty(); });
    EXPECT_EQ(requests, std::vector<std::vector<std::string>>{{a}});
    EXPECT_TRUE(batches.empty());

    requests.clear();
    {
        ScopedModifierFlags shiftMeta(kShiftKeyMask | kControlKeyMask);
        controller->applicationOpenFiles({a});
        runFor(600ms, [&] { return !requests.empty(); });
    }
    EXPECT_EQ(batches, std::vector<std::vector<std::string>>{{a}});

    // Shift alone is no batch.
    requests.clear();
    batches.clear();
    {
        ScopedModifierFlags shift(kShiftKeyMask);
        controller->applicationOpenFiles({a});
        runFor(600ms, [&] { return !requests.empty(); });
    }
    EXPECT_TRUE(batches.empty());

    requests.clear();
    raw().setProgress(40);
    EXPECT_EQ(controller->applicationOpenFiles({a}), OpenReply::Failure);
    EXPECT_FALSE(controller->applicationOpenFile(a));
    runFor(400ms);
    EXPECT_TRUE(requests.empty());
    raw().setProgress(0);
    EXPECT_TRUE(controller->applicationOpenFile(a));
    EXPECT_EQ(requests.size(), 1u);
}

TEST_F(Delegate, AnEmptyRequestOpensNothingAndLeavesNothingBusy) {
    controller->applicationOpenFiles({(dir / "gone.CR2").string()});
    runFor(400ms);
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(raw().progress(), 0);
    EXPECT_TRUE(controller->activity().isIdle());
}

TEST_F(Delegate, DropsKeepTheFilesTheDecoderIdentifiesAndTakeTheRoadOfOpenEvents) {
    const std::string a = acmeFile("drop/a.dng");
    std::ofstream(photos() + "/drop/IMG_1.tif") << "a TIFF is no raw file";
    controller->performDragOperation({photos() + "/drop"});
    runFor(3s, [&] { return !requests.empty(); });
    EXPECT_EQ(requests, std::vector<std::vector<std::string>>{{a}});

    requests.clear();
    controller->performDragOperation({photos() + "/drop/IMG_1.tif"});
    runFor(3s, [&] { return controller->activity().isIdle(); });
    runFor(400ms);
    EXPECT_TRUE(requests.empty());
}

}  // namespace
}  // namespace dvk::test
