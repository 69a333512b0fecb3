// Batches on synthetic and real raw files: the camera filter, batches of
// history records, postponing and resuming without a second conversion,
// skipped items, quitting mid-way, command-line mode, and the end-of-batch
// wait for tag copies that leaves the main queue running.
#include <unistd.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "app/batch/batch_export.h"
#include "app/batch/batch_journal.h"
#include "app/batch/batch_report.h"
#include "app/desktop/exiftool.h"
#include "app/batch/tag_copy_ledger.h"
#include "platform/modifier_keys.h"
#include "tests/app/roads/roads_fixture.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_files.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> tiffs_in(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".tiff") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Batch : public RoadsFixture {
protected:
    std::vector<std::string> acmeFiles(int n) {
        std::vector<std::string> files;
        for (int i = 1; i <= n; ++i) files.push_back(acmeFile("b/f" + std::to_string(i) + ".dng"));
        return files;
    }
    static std::vector<BatchItem> paths(const std::vector<std::string>& files) {
        std::vector<BatchItem> items;
        for (const std::string& f : files) items.push_back(BatchItem::path(f));
        return items;
    }
    std::vector<std::string> savedList() const {
        return readBatchSavedList(controller->batchSavedFile()).value_or(std::vector<std::string>());
    }
};

TEST_F(Batch, RecordsConvertOnlyTheirCameraWriteNoListAndReplaceAnOlderOne) {
    const std::string x = canonFile("p/x.dng");
    const std::string acme = acmeFile("p/a.dng");
    openFile(x);
    raw().setExposure(0.25);
    const HistoryMO r = record();
    ASSERT_TRUE(BatchJournal::writePathList(controller->batchListFile(), {"/older/batch.dng"}));
    bool listDuringBatch = true;
    ui.onTitle = [&](const std::string&) { listDuringBatch = fs::exists(controller->batchListFile()); };

    ASSERT_TRUE(controller->runBatchInThread({BatchItem::withSettings(acme, r), BatchItem::record(r)}));
    controller->waitForRoads();
    EXPECT_EQ(tiffs_in(photos() + "/p"), std::vector<std::string>{"x.tiff"});
    // The file of the other camera is named at the end.
    const std::string otherCamera = acme + ": taken with Acme Fixture 1, not with the settings' Canon EOS Kiss X4";
    EXPECT_EQ(alertTexts(), (std::vector<std::string>{"Batch mode|You are about to run a batch for 1 files",
                                                      "Batch|1 file was not written:\n" + otherCamera}));
    EXPECT_FALSE(listDuringBatch);
    EXPECT_FALSE(fs::exists(controller->batchListFile()));
    EXPECT_EQ(savedList(), std::vector<std::string>{photos() + "/p/x.tiff"});
    EXPECT_EQ(raw().exposure(), 0.25);  // the record's settings

    // Nothing of the camera: told, nothing written.
    ASSERT_TRUE(controller->runBatchInThread({BatchItem::withSettings(acme, r)}));
    controller->waitForRoads();
    EXPECT_EQ(alertTexts().back(), "Wrong selection|Couldn't find any matching camera Raw files in the selection\n\n"
                                   "1 file was not written:\n" + otherCamera);
    EXPECT_FALSE(controller->isBusy());
}

TEST_F(Batch, PostponedInTheThirdOfFiveAndResumedConvertsEachFileOnceAndEndsEmpty) {
    const std::vector<std::string> files = acmeFiles(5);
    raw().setDontOverwriteOnSave(1);  // a second conversion would leave a numbered copy
    ui.onTitle = [&](const std::string& title) {
        if (title.rfind("(3/5)", 0) == 0) controller->clickCancel("Later");
    };
    // The title says which file of how many, from 1 up; a resumed batch counts what it has left.
    const auto titles = [this] {
        std::vector<std::string> t;
        for (const std::string& e : ui.events())
            if (e.rfind("title:(", 0) == 0) t.push_back(e.substr(6));
        return t;
    };
    ui.clear();
    ASSERT_TRUE(controller->runBatchInThread(paths(files)));
    controller->waitForRoads();
    EXPECT_EQ(readBatchSavedList(controller->batchListFile()),
              (std::vector<std::string>{files[2], files[3], files[4]}));
    EXPECT_EQ(savedList().size(), 3u);
    EXPECT_EQ(tiffs_in(photos() + "/b").size(), 3u);
    EXPECT_EQ(controller->cancelCount(), 0);
    EXPECT_EQ(titles(), (std::vector<std::string>{"(1/5) f1.dng", "(2/5) f2.dng", "(3/5) f3.dng"}));
    EXPECT_TRUE(ui.saw("info:Scanned 5 files: 3 written, 2 left for the next start"));

    ui.onTitle = {};
    ui.clear();
    alerts.answer("Proceed");
    controller->completeBatch();
    controller->waitForRoads();
    EXPECT_EQ(tiffs_in(photos() + "/b"),
              (std::vector<std::string>{"f1.tiff", "f2.tiff", "f3.tiff", "f4.tiff", "f5.tiff"}));
    const std::vector<std::string> saved = savedList();
    EXPECT_EQ(saved.size(), 5u);
    EXPECT_EQ(std::set<std::string>(saved.begin(), saved.end()).size(), 5u);
    EXPECT_FALSE(fs::exists(controller->batchListFile()));
    EXPECT_FALSE(fs::exists(controller->batchMarkerFile()));
    // The third was written before the postponement: converted once.
    EXPECT_EQ(titles(), (std::vector<std::string>{"(1/2) f4.dng", "(2/2) f5.dng"}));
    EXPECT_TRUE(ui.saw("info:Scanned 2 files: 2 written"));
    // The end: no file, the empty window.
    EXPECT_TRUE(ui.saw("cancel hidden"));
    EXPECT_TRUE(ui.saw("empty"));
    EXPECT_TRUE(ui.saw("frame"));
    EXPECT_TRUE(raw().fileName().empty());
    EXPECT_FALSE(controller->isBusy());

    // A list offered and forgotten is gone.
    ASSERT_TRUE(BatchJournal::writePathList(controller->batchListFile(), {files[0]}));
    alerts.answer("Forget it");
    controller->completeBatch();
    EXPECT_FALSE(fs::exists(controller->batchListFile()));
    ASSERT_GT(alerts.count(), 0u);
    EXPECT_NE(alerts.requests().back().text.find("another batch it will quietly override this one."),
              std::string::npos)
        << alerts.requests().back().text;
}

// Every file a batch does not write is named at its end with its reason:
// refused by the raw decoder (random bytes, a GoPro GPR), cut short, not
// readable by the user. A folder default whose camera profile was deleted
// develops with the camera's own profile, as the window does, and says so.
TEST_F(Batch, FilesNotWrittenAndStandInsAreNamedAtTheEnd) {
    const std::string good = acmeFile("b/good.dng");
    const std::string random = photos() + "/b/random.dng";
    std::ofstream(random) << std::string(4000, '\x5a');
    const std::string gpr = photos() + "/b/gopro.gpr";
    fs::copy_file(testdata_dir() / "raw" / "hero7.gpr", gpr);
    const std::string cut = photos() + "/b/cut.dng";
    const std::vector<std::uint8_t> chart = read_bytes(chart_dng());
    ASSERT_TRUE(write_bytes(cut, std::vector<std::uint8_t>(chart.begin(), chart.begin() + chart.size() / 3)));
    const std::string locked = photos() + "/b/locked.dng";
    fs::copy_file(good, locked);
    fs::permissions(locked, fs::perms::none);
    const bool permissionsBind = ::geteuid() != 0;
    // The same file under a default with a profile that is gone, and under
    // one without a profile.
    const std::string standIn = acmeFile("s/a.dng"), plain = photos() + "/d/a.dng";
    fs::create_directories(photos() + "/d");
    fs::copy_file(standIn, plain);
    openFile(standIn);
    const std::string gone = photos() + "/gone.icc";
    raw().setCustomRawProfile(gone);
    record(photos() + "/s/");
    raw().setCustomRawProfile(std::string());
    record(photos() + "/d/");

    ASSERT_TRUE(controller->runBatchInThread(paths({good, random, gpr, cut, locked, standIn, plain})));
    controller->waitForRoads();
    fs::permissions(locked, fs::perms::owner_read);
    EXPECT_EQ(tiffs_in(photos() + "/b"), permissionsBind ? std::vector<std::string>{"good.tiff"}
                                                         : (std::vector<std::string>{"good.tiff", "locked.tiff"}));
    ASSERT_TRUE(fs::exists(photos() + "/s/a.tiff"));
    EXPECT_EQ(read_file(photos() + "/s/a.tiff"), read_file(photos() + "/d/a.tiff"));
    const std::string notRaw = ": not a raw file of a known camera";
    std::string expected = permissionsBind ? "4 files were not written:" : "3 files were not written:";
    expected += "\n" + random + notRaw + "\n" + gpr + notRaw;
    if (permissionsBind) expected += "\n" + locked + ": Permission denied";
    expected += "\n" + cut + ": its data could not be read to the end (the file is cut short or damaged)";
    expected += "\n\n1 file was developed with a stand-in:\n" + standIn + ": the camera profile " + gone +
                " cannot be read (No such file or directory): developed with the camera's default profile";
    EXPECT_EQ(alertTexts().back(), "Batch|" + expected);
    EXPECT_FALSE(fs::exists(controller->batchListFile()));
}

// A batch never writes over a raw file (another one named like an output: a
// scanner's raw named .tiff), nor over what it wrote for an earlier file
// (raw files of one name, a folder default naming one file): the output
// takes the next number where neither is, and the raw named .tiff is
// converted like the others. Run again, the batch writes the same names.
TEST_F(Batch, NoOutputGoesOverARawFileOrAnOutputOfTheSameBatch) {
    const std::string a = acmeFile("b/a.dng");
    const std::string bytes = read_file(a);
    const std::string aTiff = photos() + "/b/a.tiff", aNef = photos() + "/b/a.nef";
    fs::copy_file(a, aTiff);
    fs::copy_file(a, aNef);
    const std::vector<std::string> fixed = {acmeFile("c/1.dng"), acmeFile("c/2.dng"), acmeFile("c/3.dng")};
    openFile(fixed[0]);
    record(photos() + "/c/", "all.tiff");
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        controller->deleteBatchSaved();
        ASSERT_TRUE(controller->runBatchInThread(paths({a, aTiff, aNef, fixed[0], fixed[1], fixed[2]})));
        controller->waitForRoads();
        EXPECT_EQ(tiffs_in(photos() + "/b"),
                  (std::vector<std::string>{"a-001.tiff", "a-002.tiff", "a-003.tiff", "a.tiff"}));
        EXPECT_EQ(tiffs_in(photos() + "/c"), (std::vector<std::string>{"all-001.tiff", "all-002.tiff", "all.tiff"}));
        EXPECT_EQ(read_file(aTiff), bytes);
        EXPECT_EQ(read_file(aNef), bytes);
        EXPECT_EQ(savedList().size(), 6u);
        for (const std::string& t : alertTexts()) EXPECT_EQ(t.rfind("Batch|", 0), std::string::npos) << t;
    }
}

// A file the develop refuses (a four-colour sensor) is skipped and named with
// the reason; the batch goes on to the next file.
TEST_F(Batch, AFileTheDevelopRefusesIsNamedAndTheBatchGoesOn) {
    fs::create_directories(photos() + "/b");
    const std::string cygm = photos() + "/b/a_cygm.dng";
    DngSpec s = gradient_dng(DngLayout::Bayer, 64, 48);
    s.cfa_block = {0, 1, 2, 3};
    s.cfa_planes = {3, 5, 1, 4};  // cyan, yellow, green, magenta
    s.color_matrix1 = {0.5, 0.1, -0.1, -0.7, 1.5, 0.2, -0.1, 0.2, 0.6, 0.3, 0.3, 0.3};
    s.as_shot_neutral = {0.6, 0.8, 1.0, 0.7};
    ASSERT_TRUE(write_dng(cygm, s));
    const std::string good = acmeFile("b/b_good.dng");
    ASSERT_TRUE(controller->runBatchInThread(paths({cygm, good})));
    controller->waitForRoads();
    EXPECT_EQ(tiffs_in(photos() + "/b"), std::vector<std::string>{"b_good.tiff"});
    EXPECT_EQ(alertTexts().back(), "Batch|1 file was not written:\n" + cygm + ": " + RawProcessor::kFourColourRefusal);
    EXPECT_FALSE(fs::exists(controller->batchListFile()));
}

// A batch that ended abnormally while a file was being developed takes the
// file up again when it is resumed (a kill from outside says nothing against
// the file); ended again while developing it, or when a crash was noted on
// it, the batch names the file and goes on without it.
TEST_F(Batch, AFileBeingDevelopedWhenTheBatchEndedAbnormallyIsTriedOnceMore) {
    const std::vector<std::string> files = acmeFiles(3);
    const auto resume = [&] {
        alerts.answer("Proceed");
        controller->completeBatch();
        controller->waitForRoads();
    };
    BatchJournal journal = controller->batchJournal();
    journal.start(files);
    journal.beginItem(files[0]);  // and then the program was killed
    const std::size_t alertsBefore = alertTexts().size();
    resume();
    EXPECT_EQ(tiffs_in(photos() + "/b"), (std::vector<std::string>{"f1.tiff", "f2.tiff", "f3.tiff"}));
    // The offer to resume, the question: nothing said of a file.
    const std::vector<std::string> said = alertTexts();
    ASSERT_EQ(said.size(), alertsBefore + 2);
    EXPECT_EQ(said.back(), "Batch mode|You are about to run a batch for 3 files");
    EXPECT_FALSE(fs::exists(controller->batchListFile()));
    EXPECT_FALSE(fs::exists(controller->batchMarkerFile()));

    // Killed twice in a row while developing the last file; then a crash
    // noted on it.
    for (const bool crash : {false, true}) {
        SCOPED_TRACE(crash ? "a crash" : "two kills");
        fs::remove(photos() + "/b/f3.tiff");
        journal.start(std::vector<std::string>{files[2]});
        journal.beginItem(files[2]);
        if (crash) {
            BatchMarker crashed = *BatchJournal::readMarker(controller->batchMarkerFile());
            crashed.crashed = true;
            ASSERT_TRUE(BatchJournal::writeMarker(controller->batchMarkerFile(), crashed));
        } else {
            // Resumed, and killed again while the file is developed.
            BatchJournal resumed = controller->batchJournal();
            ASSERT_EQ(resumed.recover({files[2]}).retried, std::optional<std::string>(files[2]));
            resumed.start(std::vector<std::string>{files[2]});
            resumed.beginItem(files[2]);
        }
        resume();
        EXPECT_FALSE(fs::exists(photos() + "/b/f3.tiff"));
        EXPECT_EQ(alertTexts().back(),
                  "Batch|1 file was not written:\n" + files[2] + ": " + (crash ? kCrashedReason : kAbandonedReason));
        EXPECT_FALSE(fs::exists(controller->batchListFile()));
        EXPECT_FALSE(fs::exists(controller->batchMarkerFile()));
    }
}

TEST_F(Batch, AnItemThatVanishesIsSkippedAndAddsNothingToTheSavedList) {
    const std::vector<std::string> files = acmeFiles(3);
    ui.onTitle = [&](const std::string& title) {
        if (title.rfind("(2/3)", 0) == 0) fs::remove(files[1]);
    };
    ASSERT_TRUE(controller->runBatchInThread(paths(files)));
    controller->waitForRoads();
    EXPECT_EQ(savedList(), (std::vector<std::string>{photos() + "/b/f1.tiff", photos() + "/b/f3.tiff"}));
    EXPECT_FALSE(fs::exists(controller->batchListFile()));
}

TEST_F(Batch, QuittingMidwayKeepsTheRestForTheNextStart) {
    const std::vector<std::string> files = acmeFiles(4);
    useMainQueue();
    setMainThreadPump([this](const std::function<bool()>& done) {
        while (!done()) {
            mainQueue.drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    ASSERT_TRUE(controller->runBatchInThread(paths(files)));
    while (!ui.saw("title:(2/4) f2.dng")) {
        mainQueue.drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    controller->stopRoads();  // as the windows do when the program quits
    setMainThreadPump({});
    runMainQueueUntilIdle();
    const auto rest = readBatchSavedList(controller->batchListFile());
    ASSERT_TRUE(rest);
    ASSERT_FALSE(rest->empty());
    EXPECT_EQ(rest->back(), files[3]);
    EXPECT_EQ(tiffs_in(photos() + "/b").size(), 4 - rest->size());
}

TEST_F(Batch, AQuitDuringTheQuestionPostponesTheBatchBeforeItsFirstFile) {
    const std::vector<std::string> files = acmeFiles(2);
    // The quit comes while the question is up; the user then says "Continue".
    setAlertPresenter([this](const AlertRequest& r) {
        if (r.title == std::optional<std::string>("Batch mode")) controller->clickCancel("Postpone");
        return 1000;
    });
    ASSERT_TRUE(controller->runBatchInThread(paths(files)));
    controller->waitForRoads();
    setAlertPresenter(alerts.presenter());
    EXPECT_TRUE(tiffs_in(photos() + "/b").empty());
    EXPECT_EQ(readBatchSavedList(controller->batchListFile()), std::optional<std::vector<std::string>>(files));
}

TEST_F(Batch, DeclinedAtTheQuestionItLeavesTheWindowAsItWas) {
    const std::string x = canonFile("p/x.dng");
    ASSERT_TRUE(openAndWait(x));
    const std::string info = controller->cameraInfo();
    ASSERT_FALSE(info.empty());
    ui.clear();
    alerts.answer("Cancel");
    ASSERT_TRUE(controller->runBatchInThread(paths(acmeFiles(2))));
    controller->waitForRoads();
    EXPECT_TRUE(tiffs_in(photos() + "/b").empty());
    EXPECT_EQ(raw().fileName(), x);
    EXPECT_EQ(ui.events(), std::vector<std::string>{"info:" + info});  // its text again, nothing emptied
}

TEST_F(Batch, FilesOnTheCommandLineRunWithoutTheQuestion) {
    const std::vector<std::string> files = acmeFiles(2);
    const std::string program = "dvk";
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(files[0].c_str()),
                    const_cast<char*>(files[1].c_str())};
    Controller::setArguments(3, argv);
    // The launch steps: no batch to resume, then the files as open events,
    // gathered for 250 ms into one request.
    useMainQueue();
    controller->applicationDidFinishLaunching();
    runMainQueueUntilIdle();
    Controller::setArguments(1, argv);
    EXPECT_EQ(tiffs_in(photos() + "/b"), (std::vector<std::string>{"f1.tiff", "f2.tiff"}));
    EXPECT_TRUE(alerts.requests().empty());
}

TEST_F(Batch, TheMainQueueRunsWhileTheEndOfABatchWaitsForTagCopies) {
    setExiftoolProgram(script("slowtool", R"(case " $* " in *" -TagsFromFile "*) sleep 1;; esac)"));
    ui.copyTags = true;
    const std::vector<std::string> files = acmeFiles(1);
    std::mutex mutex;
    std::deque<MainTask> tasks;
    setMainExecutor([&](MainTask task) {
        std::lock_guard<std::mutex> lock(mutex);
        tasks.push_back(std::move(task));
    });
    const std::string program = "dvk";
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(files[0].c_str())};
    Controller::setArguments(2, argv);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(controller->runBatchInThread(paths(files)));
    std::chrono::duration<double> longest{0};
    // While the copy runs, it is noted on disk (for a launch after a kill).
    const TagCopyLedger onDisk(controller->batchTagsFile());
    bool noted = false;
    for (;;) {
        if (!noted) {
            const std::vector<TagCopyRequest> entries = onDisk.entries();
            noted = entries.size() == 1 && entries[0].fileName == files[0];
        }
        MainTask task;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!tasks.empty()) {
                task = std::move(tasks.front());
                tasks.pop_front();
            }
        }
        if (!task) {
            if (controller->activity().running() == 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        const auto before = std::chrono::steady_clock::now();
        task();
        longest = std::max<std::chrono::duration<double>>(longest, std::chrono::steady_clock::now() - before);
    }
    Controller::setArguments(1, argv);
    setMainExecutor({});
    EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0.9);
    EXPECT_LT(longest.count(), 0.3);
    EXPECT_TRUE(ui.saw("title:Copying tags..."));
    EXPECT_TRUE(ui.saw("empty"));
    EXPECT_EQ(controller->tagCopies().childs(), 0);
    EXPECT_TRUE(noted);
    EXPECT_FALSE(fs::exists(controller->batchTagsFile()));
}

TEST_F(Batch, TagCopiesAKillCutOffRunAgainAtTheNextLaunch) {
    const std::vector<std::string> files = acmeFiles(2);
    const std::string written = photos() + "/b/f1.tiff";
    std::ofstream(written) << "pixels";
    // What exiftool leaves when it is killed while it writes: it refuses to
    // write while that is there.
    std::ofstream(written + "_exiftool_tmp") << "half";
    {
        TagCopyLedger ledger(controller->batchTagsFile());
        ledger.started({files[0], written, "Acme"});
        ledger.started({files[1], photos() + "/b/gone.tiff", "Acme"});  // its output is gone
        ASSERT_EQ(ledger.entries().size(), 2u);
    }
    useMainQueue();
    controller->applicationDidFinishLaunching();
    runMainQueueUntilIdle();
    EXPECT_EQ(read_file(written + ".tags"), "copied\n");
    EXPECT_FALSE(fs::exists(written + "_exiftool_tmp"));
    EXPECT_FALSE(fs::exists(photos() + "/b/gone.tiff.tags"));
    EXPECT_FALSE(fs::exists(controller->batchTagsFile()));
}

TEST(TagCopyLedger, EntriesComeAndGoOneAtATime) {
    const fs::path dir = fs::temp_directory_path() / ("dvk-ledger-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "DVKBatchTags_dvk.xml").string();
    TagCopyLedger ledger(path);
    EXPECT_TRUE(ledger.entries().empty());
    ledger.started({"/r/a.dng", "/o/a.tiff", "Acme"});
    ledger.started({"/r/a.dng", "/o/a.tiff", "Acme"});  // the same output twice: two copies
    ledger.started({"/r/b.dng", "/o/b.tiff", "PHASE ONE"});
    ledger.ended("/o/a.tiff");
    const std::vector<TagCopyRequest> left = TagCopyLedger(path).entries();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].ofname, "/o/a.tiff");
    EXPECT_EQ(left[1].make, "PHASE ONE");
    ledger.ended("/o/unknown.tiff");
    EXPECT_EQ(ledger.entries().size(), 2u);
    ledger.ended("/o/a.tiff");
    ledger.ended("/o/b.tiff");
    EXPECT_FALSE(fs::exists(path));  // gone with its last entry
    // A damaged file reads as no entries (and is replaced at the next start).
    std::ofstream(path) << "<plist><dict>";
    EXPECT_TRUE(ledger.entries().empty());
    ledger.started({"/r/c.dng", "/o/c.tiff", ""});
    EXPECT_EQ(ledger.entries().size(), 1u);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace dvk::test
