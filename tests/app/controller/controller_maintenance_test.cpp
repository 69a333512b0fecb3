// Tidying the history: cleaning records of vanished files below a folder,
// clearing destinations, a batch over the selection, renaming moved sources,
// and the bounded search for moved files.
#include <fstream>
#include <set>
#include <thread>

#include "app/batch/batch_export.h"
#include "app/batch/batch_journal.h"
#include "app/controller/controller_ui.h"
#include "app/history/file_search.h"
#include "app/history/history_defaults.h"
#include "app/history/history_maintenance.h"
#include "platform/dispatch.h"
#include "tests/app/controller/controller_fixture.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Maintenance : public ControllerFixture {
protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        setMainExecutor(queue.executor());
    }
    void TearDown() override {
        runUntilIdle();
        setMainExecutor({});
        controller->stopRoads();
        ControllerFixture::TearDown();
    }
    // Runs the main queue until the roads and workers have ended.
    void runUntilIdle() {
        for (int i = 0; i < 5000 && (controller->activity().running() > 0 || queue.pending() > 0); ++i) {
            queue.drain();
            std::this_thread::sleep_for(2ms);
        }
        queue.drain();
    }
    static std::vector<std::string> names(const fs::path& folder) {
        std::vector<std::string> n;
        for (const auto& e : fs::directory_iterator(folder)) n.push_back(e.path().filename().string());
        std::sort(n.begin(), n.end());
        return n;
    }
    // A record of the Acme camera with this source (the settings do not matter).
    HistoryMO add(const std::string& source, const std::string& destination = "/out/x.tif") {
        HistoryMO r = historyRecordFromSettings(raw(), source, destination, std::nullopt);
        r.setValueForKey("camera", "Acme Fixture 1");
        EXPECT_TRUE(controller->persistentStoreCoordinator().write([&](auto& t) { return t.insert(r); }));
        controller->reloadHistory();
        return r;
    }
    void touch(const fs::path& p) {
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "x";
    }
    std::set<std::string> sources() {
        std::set<std::string> s;
        for (const HistoryMO& r : controller->persistentStoreCoordinator().fetchAll()) s.insert(r.sourceFile());
        return s;
    }
    void selectAll() {
        std::vector<std::size_t> all(controller->historyList().arrangedObjects().size());
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
        controller->historyList().setSelectionIndexes(all);
    }
    std::set<std::string> selectedSources() {
        std::set<std::string> s;
        for (const HistoryMO& r : controller->historyList().selectedObjects()) s.insert(r.sourceFile());
        return s;
    }
    std::string t(const std::string& rel) { return (dir / "t" / rel).string(); }

    ManualMainQueue queue;
};

TEST_F(Maintenance, CleaningDeletesOnlyVanishedRecordsBelowTheFolderComparedByteForByte) {
    touch(dir / "t/usb/keep.CR2");
    fs::create_directories(dir / "t/USB");
    for (const char* s : {"usb/keep.CR2", "usb/gone.CR2", "usb/sub/gone.CR2", "usb/sub/", "usb/", "USB/gone.CR2",
                          "us_b/gone.CR2", "usbx/gone.CR2", "u%b/gone.CR2"})
        add(t(s));
    add("/");

    panels->answerOpen({t("usb")});
    alerts.answer("Continue");
    controller->cleanHistory();
    ASSERT_EQ(panels->openRequests().size(), 1u);
    EXPECT_FALSE(panels->openRequests()[0].canChooseFiles);
    ASSERT_EQ(alerts.count(), 2u);
    EXPECT_EQ(alerts.requests()[0].title, std::optional<std::string>("Clean History from erased files"));
    EXPECT_EQ(alerts.requests()[1].text, "Cleaned 3 records for non-existing files and directories");
    EXPECT_EQ(sources(), (std::set<std::string>{t("usb/keep.CR2"), t("usb/"), t("USB/gone.CR2"), t("us_b/gone.CR2"),
                                                t("usbx/gone.CR2"), t("u%b/gone.CR2"), "/"}));

    // A folder chosen with its slash is the same folder; Cancel deletes nothing.
    fs::remove_all(dir / "t/usb");
    panels->answerOpen({t("usb/")});
    alerts.answer("Cancel");
    controller->cleanHistory();
    EXPECT_EQ(sources().size(), 7u);
    panels->answerOpen({t("usb/")});
    alerts.answer("Continue");
    controller->cleanHistory();
    EXPECT_EQ(sources(), (std::set<std::string>{t("USB/gone.CR2"), t("us_b/gone.CR2"), t("usbx/gone.CR2"),
                                                t("u%b/gone.CR2"), "/"}));
}

TEST_F(Maintenance, AFailedCleaningDeletesNothingNowOrLater) {
    for (const char* s : {"a/gone1.CR2", "a/gone2.CR2"}) add(t(s));
    ASSERT_TRUE(controller->persistentStoreCoordinator().write([](HistoryStore::Transaction& tr) {
        return tr.execute("CREATE TRIGGER keep BEFORE DELETE ON History2 WHEN OLD.sourceFile LIKE '%gone2%' "
                          "BEGIN SELECT RAISE(ABORT, 'locked'); END");
    }));
    panels->answerOpen({t("a")});
    alerts.answer("Continue");
    controller->cleanHistory();
    ASSERT_EQ(alerts.count(), 3u);
    EXPECT_EQ(alerts.requests()[2].text, "Could not delete records from History");
    EXPECT_EQ(sources().size(), 2u);
    // A later save commits only itself.
    ASSERT_TRUE(controller->persistentStoreCoordinator().write(
        [](HistoryStore::Transaction& tr) { return tr.execute("DROP TRIGGER keep"); }));
    add(t("b/new.CR2"));
    EXPECT_EQ(sources(), (std::set<std::string>{t("a/gone1.CR2"), t("a/gone2.CR2"), t("b/new.CR2")}));
}

TEST_F(Maintenance, ClearingDestinationsAsksAndEmptiesTheSelectedOnes) {
    add(t("a.CR2"), "/out/a.tif");
    add(t("b.CR2"), "/out/b.tif");
    controller->clearDestinationFile();
    EXPECT_EQ(alerts.requests().back().text, "Please select one or more records");
    selectAll();
    alerts.answer("Continue");
    controller->clearDestinationFile();
    EXPECT_EQ(alerts.requests().back().text,
              "You are about to clear Destination File field of 2 selected records at once");
    for (const HistoryMO& r : controller->persistentStoreCoordinator().fetchAll()) EXPECT_EQ(r.destinationFile(), "");
}

TEST_F(Maintenance, ABatchOverTheSelectionExpandsFolderDefaultsAndIgnoresTheCameraDefault) {
    controller->runBatchWithSelection();
    EXPECT_EQ(alerts.requests().back().text, "Please select one or more records");

    // Each record sends its files to a folder of its own.
    acmeFile("f/2.dng");
    acmeFile("f/1.dng");
    const std::string x = acmeFile("x.dng");
    fs::create_directories(dir / "outF");
    fs::create_directories(dir / "outX");
    add(photos() + "/f/", (dir / "outF").string() + "/");
    add(x, (dir / "outX").string() + "/");
    add("/");
    // The list of an older batch's files goes when this one starts.
    ASSERT_TRUE(BatchJournal::writePathList(controller->batchSavedFile(), {"/older/batch.tiff"}));
    selectAll();
    alerts.answer("Continue");
    controller->runBatchWithSelection();
    runUntilIdle();
    EXPECT_EQ(alerts.requests().back().text, "You are about to run a batch for 3 files");
    EXPECT_EQ(names(dir / "outF"), (std::vector<std::string>{"1.tiff", "2.tiff"}));
    EXPECT_EQ(names(dir / "outX"), std::vector<std::string>{"x.tiff"});
    const auto saved = readBatchSavedList(controller->batchSavedFile());
    ASSERT_TRUE(saved);
    EXPECT_EQ(std::set<std::string>(saved->begin(), saved->end()),
              (std::set<std::string>{(dir / "outF/1.tiff").string(), (dir / "outF/2.tiff").string(),
                                     (dir / "outX/x.tiff").string()}));

    // Only an empty folder and the camera default: nothing to run.
    fs::remove_all(photos() + "/f");
    std::vector<std::size_t> noFile;
    for (std::size_t i = 0; i < controller->historyList().arrangedObjects().size(); ++i)
        if (controller->historyList().arrangedObjects()[i].sourceFile() != x) noFile.push_back(i);
    controller->historyList().setSelectionIndexes(noFile);
    controller->runBatchWithSelection();
    EXPECT_EQ(alerts.requests().back().text, "Couldn't find any files in selection");
    EXPECT_EQ(raw().progress(), 0);
    EXPECT_FALSE(controller->isBusy());
}

TEST_F(Maintenance, RenamingFixesRecordsWhoseNewPathExistsAndKeepsTheRestSelected) {
    touch(dir / "t/new/raw/a.CR2");
    touch(dir / "t/new/raw/d");
    touch(dir / "search/moved/b.CR2");
    add(t("old/raw/a.CR2"));
    add(t("old/raw/b.CR2"));   // its new path does not exist
    add(t("old/raw/"));        // a folder default
    add(t("old/raw/d/"));      // would become a file record
    add(t("else/c.CR2"));      // holds no "old/raw/"
    add(t("new/raw/a.CR2"));   // exists: not part of the renaming
    selectAll();

    controller->renameSource();
    EXPECT_EQ(selectedSources().size(), 5u);
    RenameSourceState& s = controller->renameSourceState();
    EXPECT_EQ(s.replaceItems, (std::vector<std::string>{t("else/"), t("old/raw/"), t("old/raw/d/")}));
    EXPECT_EQ(s.replaceText, t("else/"));
    // The search for the moved files runs on its own; its folders arrive later.
    for (int i = 0; i < 500 && s.searching; ++i) {
        std::this_thread::sleep_for(5ms);
        queue.drain();
    }
    EXPECT_EQ(s.replacementItems, std::vector<std::string>{(dir / "search/moved/").string()});

    s.replacementText = "";
    EXPECT_FALSE(controller->renameSourceButton(1));
    EXPECT_EQ(alerts.requests().back().title, std::optional<std::string>("Missing parameters"));

    s.replaceText = t("old/raw/");
    s.replacementText = t("new/raw/");
    EXPECT_TRUE(controller->renameSourceButton(1));
    EXPECT_EQ(sources(), (std::set<std::string>{t("new/raw/a.CR2"), t("old/raw/b.CR2"), t("new/raw/"),
                                                t("old/raw/d/"), t("else/c.CR2")}));
    EXPECT_EQ(selectedSources(), (std::set<std::string>{t("old/raw/b.CR2"), t("old/raw/d/"), t("else/c.CR2")}));
    EXPECT_TRUE(controller->renameSourceButton(0));

    // Nothing missing in the selection.
    controller->historyList().setSelectionIndexes({});
    controller->renameSource();
    EXPECT_EQ(alerts.requests().back().title, std::optional<std::string>("Empty selection"));
}

TEST(HistoryMaintenanceRules, FoldersOfPathsAndTheOrangeCell) {
    EXPECT_EQ(processPaths({"/a/b/x.CR2", "/a/b/y.CR2", "/a/", "/", "", "/z.CR2", "/c/d/"}),
              (std::vector<std::string>{"/a/", "/a/b/", "/c/d/"}));
    EXPECT_EQ(replacedSource("/old/raw/old/raw/x", "old/raw", "new"), "/new/old/raw/x");
    EXPECT_EQ(replacedSource("/OLD/raw/x", "old/raw", "new"), std::nullopt);
    auto none = [](const std::string&) { return false; };
    auto found = [](const std::string& p) { return p == "/gone/a.CR2"; };
    EXPECT_EQ(historyCellStyle(true, "/gone/a.CR2", "", none, found), HistoryCellStyle::MissingFound);
    EXPECT_EQ(historyCellStyle(true, "/gone/b.CR2", "", none, found), HistoryCellStyle::Missing);
    EXPECT_EQ(historyCellStyle(false, "/gone/a.CR2", "", none, found), HistoryCellStyle::Plain);
}

class Search : public testing::Test {
protected:
    void touch(const std::string& rel) {
        fs::create_directories((dir / rel).parent_path());
        std::ofstream(dir / rel) << "x";
    }
    FileSearchOptions options() {
        FileSearchOptions o;
        o.roots = {(dir / "root").string()};
        return o;
    }
    TempDir dir;
};

TEST_F(Search, NamesAreMatchedExactlyWithoutWildcardsOrHiddenFolders) {
    const std::string odd = "it's \"q\" \\b *s? [x.CR2";
    touch("root/a/" + odd);
    touch("root/a/it's \"Q\" \\b *s? [x.CR2");
    touch("root/b/x.CR2");
    touch("root/.hidden/x.CR2");
    touch("root/c/.x.CR2");
    fs::create_directories(dir / "root/c/x.CR2");  // a folder of that name
    FileSearch search(options());
    const std::vector<FileSearchHit> hits = search.searchForFile("/gone/" + odd);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0], (FileSearchHit{odd, (dir / "root/a" / odd).string(), "public.data"}));
    EXPECT_TRUE(search.searchForFile("/gone/*.CR2").empty());
    EXPECT_TRUE(search.searchForFile("/gone/?.CR2").empty());

    std::set<std::string> paths;
    for (const FileSearchHit& h : search.searchForFiles({"/old/x.CR2", "/other/x.CR2", "/y/" + odd}))
        paths.insert(h.path);
    EXPECT_EQ(paths, (std::set<std::string>{(dir / "root/b/x.CR2").string(), (dir / "root/c/x.CR2/").string(),
                                            (dir / "root/a" / odd).string()}));
}

TEST_F(Search, TheWalkStopsAtItsDepthAndFollowsNoLinkToAFolder) {
    std::string deep = "root";
    for (int level = 1; level <= 17; ++level) {
        deep += "/d" + std::to_string(level);
        touch(deep + "/at" + std::to_string(level) + ".CR2");
    }
    fs::create_directories(dir / "root/loop");
    fs::create_directory_symlink(dir / "root", dir / "root/loop/back");
    fs::create_directory_symlink(dir / "root/d1", dir / "root/linked.CR2");
    FileSearch search(options());
    // Files in the 15th folder below the root are 16 levels down, the deepest searched.
    EXPECT_EQ(search.searchForFile("/x/at15.CR2").size(), 1u);
    EXPECT_TRUE(search.searchForFile("/x/at16.CR2").empty());
    EXPECT_TRUE(search.searchForFile("/x/linked.CR2").empty());
    EXPECT_EQ(search.searchForFile("/x/at1.CR2").size(), 1u);  // once: the loop is not walked
}

TEST_F(Search, TheCellsAskWithoutWaitingAndHearWhenAWalkEnds) {
    touch("root/m/moved.CR2");
    FileSearch search(options());
    std::atomic<int> heard{0};
    search.addListener([&] { ++heard; });
    EXPECT_EQ(search.hasCandidatesNow("/gone/moved.CR2"), std::nullopt);
    EXPECT_EQ(search.hasCandidatesNow("/gone/lost.CR2"), std::nullopt);
    for (int i = 0; i < 1000 && (!search.hasCandidatesNow("/gone/moved.CR2") ||
                                 !search.hasCandidatesNow("/gone/lost.CR2"));
         ++i)
        std::this_thread::sleep_for(2ms);
    EXPECT_EQ(search.hasCandidatesNow("/elsewhere/moved.CR2"), true);
    EXPECT_EQ(search.hasCandidatesNow("/gone/lost.CR2"), false);
    EXPECT_GE(heard.load(), 1);
    search.clear();
    EXPECT_EQ(search.hasCandidatesNow("/gone/moved.CR2"), std::nullopt);
}

}  // namespace
}  // namespace dvk::test
