// The application delegate: launch and quit steps with their defaults and
// records, the update check, open events gathered by the real 250 ms timer
// and taken by the open and batch roads, and drops.
#include <atomic>
#include <fstream>
#include <thread>

#include <tiffio.h>

#include "app/controller/controller_ui.h"
#include "app/desktop/exiftool.h"
#include "app/controller/open_events.h"
#include "app/preview/preview_controller.h"
#include "app/desktop/update_check.h"
#include "platform/dispatch.h"
#include "platform/modifier_keys.h"
#include "tests/app/controller/controller_fixture.h"

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

// Runs a manual main queue on the test's thread for a while, or until `done`.
void runFor(ManualMainQueue& queue, std::chrono::milliseconds time, const std::function<bool()>& done = {}) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        queue.drain();
        if (done && done()) return;
        std::this_thread::sleep_for(2ms);
    }
    queue.drain();
}

TEST(OpenEvents, EventsWithin250msMakeOneRequestLaterOnesAnotherAndAPathComesOnce) {
    markMainThread();
    ManualMainQueue queue;
    setMainExecutor(queue.executor());
    std::vector<std::vector<std::string>> requests;
    OpenEventGatherer gatherer;
    auto handler = [&](std::vector<std::string> r) { requests.push_back(std::move(r)); };
    std::vector<std::string> ten;
    for (char c = 'a'; c < 'a' + 10; ++c) ten.push_back(std::string("/in/") + c + ".CR2");

    gatherer.add(ten, handler);
    runFor(queue, 600ms, [&] { return !requests.empty(); });
    EXPECT_EQ(requests, std::vector<std::vector<std::string>>{ten});

    // One path an event, 100 ms apart: each event restarts the time.
    requests.clear();
    for (const std::string& f : ten) {
        gatherer.add({f}, handler);
        runFor(queue, 100ms);
        EXPECT_TRUE(requests.empty());
    }
    runFor(queue, 600ms, [&] { return !requests.empty(); });
    EXPECT_EQ(requests, std::vector<std::vector<std::string>>{ten});

    // 300 ms apart: two requests.
    requests.clear();
    gatherer.add({ten[0]}, handler);
    runFor(queue, 300ms);
    EXPECT_TRUE(!gatherer.gathering());
    gatherer.add({ten[1]}, handler);
    runFor(queue, 600ms, [&] { return requests.size() == 2; });
    EXPECT_EQ(requests, (std::vector<std::vector<std::string>>{{ten[0]}, {ten[1]}}));

    // A path twice, in one event and in the next: once.
    requests.clear();
    gatherer.add({ten[2], ten[2]}, handler);
    gatherer.add({ten[2]}, handler);
    runFor(queue, 600ms, [&] { return !requests.empty(); });
    EXPECT_EQ(requests, std::vector<std::vector<std::string>>{{ten[2]}});

    // Cancelled: nothing comes.
    requests.clear();
    gatherer.add({ten[3]}, handler);
    gatherer.cancel();
    runFor(queue, 400ms);
    EXPECT_TRUE(requests.empty());
    setMainExecutor({});
}

TEST(OpenEvents, CommandLineFilesLeaveOptionsOutAndBecomeAbsolute) {
    EXPECT_EQ(commandLineFiles({"a.dng", "-style", "fusion", "--platform", "offscreen", "-reverse", "/x/b.dng",
                                "sub/c.dng", ""},
                               "/home/u"),
              (std::vector<std::string>{"/home/u/a.dng", "/x/b.dng", "/home/u/sub/c.dng"}));
    EXPECT_EQ(commandLineFiles({"a.dng"}, "/"), std::vector<std::string>{"/a.dng"});
    // After "--" every argument is a file, an option's name too.
    EXPECT_EQ(commandLineFiles({"--bogus", "-style=fusion", "--", "-x.dng", "--", "-style"}, "/w"),
              (std::vector<std::string>{"/w/-x.dng", "/w/--", "/w/-style"}));
    // One file, one name: "." and ".." steps are taken out.
    EXPECT_EQ(commandLineFiles({"../shared/./raw/c.dng", "/x/../y/", "./d.dng"}, "/work/main"),
              (std::vector<std::string>{"/work/shared/raw/c.dng", "/y/", "/work/main/d.dng"}));
}

// The windows' side of the delegate, recorded.
struct DelegateUi : ControllerUi {
    std::vector<std::string> calls;
    std::function<void()> onTerminate;
    std::optional<WindowStateDefaults> states;
    const ScriptedAlerts* alerts = nullptr;
    void setEditorsButtonItems(const std::vector<EditorsButtonItem>& items, long selected) override {
        calls.push_back("editors " + std::to_string(items.size()) + " " + std::to_string(selected));
    }
    void setPreferenceMenuStates(const PreferenceMenuStates& s) override {
        calls.push_back(s.checkForUpdates ? "preferences updates" : "preferences");
    }
    void setWhiteBalanceStepTag(long tag) override { calls.push_back("wb step " + std::to_string(tag)); }
    void settingsSelectorChanged() override { calls.push_back("selector"); }
    void registerForDrops() override {
        calls.push_back("drops after " + std::to_string(alerts ? alerts->count() : 0) + " alerts");
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
        // The main thread waits as the program's does: running its queue
        // (a controller that goes joins its threads).
        setMainThreadPump([this](const std::function<bool()>& done) { runFor(1min, done); });
        // The metadata text is not what these tests look at.
        setExiftoolProgram("/bin/true");
    }
    void TearDown() override {
        runUntilIdle();
        setMainThreadPump({});
        setMainExecutor({});
        controller->stopRoads();
        setExiftoolProgram("");
        ControllerFixture::TearDown();
    }
    void runFor(std::chrono::milliseconds time, const std::function<bool()>& done = {}) {
        test::runFor(queue, time, done);
    }
    // Runs the main queue until the gathering, roads, workers and the apply
    // worker's runs have ended.
    void runUntilIdle() {
        runFor(10s, [&] {
            return controller->activity().running() == 0 && !controller->preview().applyWorker().busy() &&
                   queue.pending() == 0;
        });
    }
    std::vector<std::string> alertTexts() const {
        std::vector<std::string> texts;
        for (const AlertRequest& r : alerts.requests()) texts.push_back(r.title.value_or("") + "|" + r.text);
        return texts;
    }
    // Opens a raw file with its preview, as the open road leaves it.
    void openWithPreview(const std::string& path) {
        ASSERT_TRUE(controller->startOpen(path));
        runUntilIdle();
        ASSERT_EQ(raw().fileName(), path);
        ASSERT_NE(raw().preview(), nullptr);
    }
    std::vector<HistoryMO> exitRecords() {
        std::vector<HistoryMO> out;
        for (HistoryMO& r : controller->persistentStoreCoordinator().fetchAll())
            if (r.comment() == "Action: Exit") out.push_back(std::move(r));
        return out;
    }

    ManualMainQueue queue;
};

TEST_F(Delegate, LaunchStepsRunInOrderWithTheirDefaults) {
    defaults->setStringArray("Editors", {"/usr/bin/gimp", "/usr/bin/darktable"});
    defaults->setInteger("SelectedEditor", 2);
    defaults->setBool("SUCheckAtStartup", true);
    defaults->setDouble("RBGGStep", 0.1);
    controller = std::make_unique<Controller>(options());
    // An unfinished batch is offered before the window takes drops.
    std::ofstream(controller->batchListFile()) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
                                                  "<array><string>/gone.dng</string></array></plist>\n";
    DelegateUi ui;
    ui.alerts = &alerts;
    controller->setUi(&ui);
    alerts.answer("Later");
    controller->launch();
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"editors 6 2", "preferences updates", "wb step 10", "selector",
                                                  "drops after 1 alerts"}));
    EXPECT_EQ(alerts.requests()[0].title, std::optional<std::string>("Batch"));
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
    controller = std::make_unique<Controller>(options());  // the old one joins the request's thread
    EXPECT_EQ(sent, std::vector<std::string>{"https://feed.example:8443/dvk_updates_64.xml?Build=7;QWNtZQ=="});

    defaults->setString("SUFeedURL", "no address");
    controller->applicationWillFinishLaunching(requester);
    controller = std::make_unique<Controller>(options());
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

    // The profiling panel's close steps come first: its measuring state
    // (save format 17) is given back and the user's settings recorded.
    raw().setExposure(2);
    const int saveFormat = raw().saveFormat();
    controller->showProfilingWindow();
    runUntilIdle();
    ASSERT_TRUE(controller->profilingPanelVisible());
    ASSERT_EQ(raw().saveFormat(), 17);
    EXPECT_EQ(controller->applicationShouldTerminate(), TerminateReply::Now);
    EXPECT_FALSE(controller->profilingPanelVisible());
    ASSERT_EQ(exitRecords().size(), 2u);
    EXPECT_EQ(exitRecords()[0].valueForKey("exposure").double_value(), 2);
    EXPECT_EQ(exitRecords()[0].valueForKey("saveFormat").int_value(), saveFormat);

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
    alerts.clear();
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

TEST_F(Delegate, QuittingDuringASaveWaitsAndTheFileIsWhole) {
    DelegateUi ui;
    controller->setUi(&ui);
    const std::string a = acmeFile("s/a.dng");
    openWithPreview(a);
    const std::string out = raw().makeFullDestinationFileName();
    std::vector<TerminateReply> replies;
    bool wholeAtQuit = false;
    ui.onTerminate = [&] {
        TIFF* tif = TIFFOpen(out.c_str(), "r");
        if (tif) {
            uint32_t width = 0, height = 0;
            TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
            TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
            std::vector<unsigned char> row(static_cast<std::size_t>(TIFFScanlineSize(tif)));
            wholeAtQuit = width > 0 && height > 0;
            for (uint32_t y = 0; y < height && wholeAtQuit; ++y)
                wholeAtQuit = TIFFReadScanline(tif, row.data(), y) == 1;
            TIFFClose(tif);
        }
        replies.push_back(controller->applicationShouldTerminate());
    };
    // The save is held at its first step on the main queue, which this
    // thread runs only from runFor on.
    ASSERT_TRUE(controller->startSave(false));
    EXPECT_EQ(controller->applicationShouldTerminate(), TerminateReply::Later);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(controller->applicationShouldTerminate(), TerminateReply::Later);
    EXPECT_TRUE(controller->isBusy());
    EXPECT_EQ(controller->cancelCount(), 2);  // a batch would stop after its current file
    // Open events are refused meanwhile.
    EXPECT_EQ(controller->applicationOpenFiles({a}), OpenReply::Failure);
    runFor(10s, [&] { return !replies.empty(); });
    EXPECT_EQ(replies, std::vector<TerminateReply>{TerminateReply::Now});
    EXPECT_TRUE(wholeAtQuit);
    // The save ended as usual, its record written; the settings are then the
    // file's default, so the quit records nothing.
    std::vector<std::string> comments;
    for (const HistoryMO& r : recordsWithSource(a)) comments.push_back(r.comment());
    EXPECT_EQ(comments, std::vector<std::string>{"Action: Save"});
    controller->setUi(nullptr);
}

TEST_F(Delegate, OneEventOfTenFilesIsOneBatchAndAFileAloneOpens) {
    std::vector<std::string> ten;
    for (char c = 'a'; c < 'a' + 10; ++c) ten.push_back(acmeFile(std::string("ten/") + c + ".dng"));
    alerts.answer("Cancel");
    EXPECT_EQ(controller->applicationOpenFiles(ten), OpenReply::Success);
    runUntilIdle();
    EXPECT_EQ(alertTexts(), std::vector<std::string>{"Batch mode|You are about to run a batch for 10 files"});

    // One file, given twice: opened once, no batch.
    alerts.clear();
    controller->applicationOpenFiles({ten[3]});
    controller->applicationOpenFiles({ten[3], ten[3]});
    runUntilIdle();
    EXPECT_EQ(raw().fileName(), ten[3]);
    EXPECT_TRUE(alerts.requests().empty());

    // Shift+Control (the Meta key) makes a batch of one.
    {
        ScopedModifierFlags shiftMeta(kShiftKeyMask | kControlKeyMask);
        alerts.answer("Cancel");
        controller->applicationOpenFiles({ten[5]});
        runUntilIdle();
    }
    EXPECT_EQ(alertTexts(), std::vector<std::string>{"Batch mode|You are about to run a batch for 1 files"});
}

TEST_F(Delegate, BusyRefusesAndAnEmptyRequestLeavesNothingBusy) {
    const std::string a = acmeFile("a.dng");
    raw().setProgress(40);
    EXPECT_EQ(controller->applicationOpenFiles({a}), OpenReply::Failure);
    EXPECT_FALSE(controller->applicationOpenFile(a));
    runFor(400ms);
    EXPECT_EQ(raw().fileName(), "");
    raw().setProgress(0);

    controller->applicationOpenFiles({(dir / "gone.dng").string()});
    runUntilIdle();
    EXPECT_EQ(raw().progress(), 0);
    EXPECT_FALSE(controller->isBusy());
    EXPECT_TRUE(controller->applicationOpenFile(a));
    runUntilIdle();
    EXPECT_EQ(raw().fileName(), a);
}

// A save panel that, while it is up, lets open events arrive.
struct PanelWithEvents : PanelPresenter {
    std::function<void()> whileUp;
    std::string answer;
    std::optional<std::vector<std::string>> runOpenPanel(const OpenPanelRequest&) override { return std::nullopt; }
    std::optional<std::string> runSavePanel(const SavePanelRequest&) override {
        whileUp();
        return answer;
    }
};

// The panel answers for the file open: a request that comes meanwhile waits
// until it closes, then for the save it started, and then opens.
TEST_F(Delegate, AnOpenRequestWhileAPanelIsUpWaitsForItAndTheSave) {
    const std::string a = acmeFile("m/a.dng");
    const std::string b = acmeFile("m/b.dng");
    const std::string which = photos() + "/m/which.tiff";
    openWithPreview(a);
    auto panel = std::make_shared<PanelWithEvents>();
    panel->answer = which;
    panel->whileUp = [&] {
        EXPECT_EQ(controller->applicationOpenFiles({b}), OpenReply::Success);
        runFor(600ms);  // more than the gathering time
        EXPECT_EQ(raw().fileName(), a);
        EXPECT_FALSE(controller->isBusy());
    };
    setPanelPresenter(panel);
    controller->saveFileAs();
    runUntilIdle();
    setPanelPresenter(panels);
    EXPECT_EQ(raw().fileName(), b);
    const std::vector<HistoryMO> saved = recordsWithSource(a);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].destinationFile(), which);
    EXPECT_TRUE(fs::exists(which));
    EXPECT_TRUE(recordsWithSource(b).empty());
}

TEST_F(Delegate, DropsKeepTheFilesTheDecoderIdentifiesAndTakeTheRoadOfOpenEvents) {
    const std::string a = acmeFile("drop/a.dng");
    std::ofstream(photos() + "/drop/IMG_1.tif") << "a TIFF is no raw file";
    controller->performDragOperation({photos() + "/drop"});
    runUntilIdle();
    EXPECT_EQ(raw().fileName(), a);

    const std::string b = acmeFile("b.dng");
    controller->performDragOperation({photos() + "/drop/IMG_1.tif"});
    runUntilIdle();
    EXPECT_EQ(raw().fileName(), a);
    controller->performDragOperation({b, photos() + "/drop/IMG_1.tif"});
    runUntilIdle();
    EXPECT_EQ(raw().fileName(), b);
}

}  // namespace
}  // namespace dvk::test
