// A batch stopped between any two of the steps that leave a trace on disk
// (as a kill would stop it), then resumed the way the controller resumes:
// every output written once, each path once in the saved list, no list,
// marker or temporary file left; the item that was being developed when the
// batch stopped, its output not in place, is tried once more. One being
// developed at two abnormal ends in a row, or on which a crash was noted, is
// given up and named.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/batch/batch_export.h"
#include "app/batch/batch_journal.h"
#include "app/batch/batch_report.h"
#include "pipeline/writers/output_naming.h"
#include "pipeline/writers/safe_output.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

struct SimulatedBatch {
    TempDir dir;
    fs::path out = dir / "out";
    bool dontOverwrite = false;
    pid_t endedProcess = -1;

    SimulatedBatch() {
        fs::create_directories(dir / "support");
        endedProcess = fork();
        if (endedProcess == 0) _exit(0);
        waitpid(endedProcess, nullptr, 0);
    }
    BatchJournal journal() const {
        return {(dir / "support" / "list.xml").string(), (dir / "support" / "saved.xml").string(),
                (dir / "support" / "mark.xml").string()};
    }

    // The controller's order for each item: marker of the item, marker of
    // its output, output to a temporary file renamed into place (as
    // SafeOutputFile does), saved list, list. Stops before step `stopAt`
    // (counted over the whole run; -1: never).
    bool run(BatchJournal& j, std::vector<std::string>& items, int stopAt) {
        int step = 0;
        auto reached = [&] { return stopAt >= 0 && step++ == stopAt; };
        while (!items.empty()) {
            const std::string source = items.front();
            std::string dest = (out / (deleting_path_extension(last_path_component(source)) + ".tiff")).string();
            if (dontOverwrite) dest = *spinCounterOnFileIfExists(dest);
            if (reached()) return false;
            j.beginItem(source);
            if (reached()) return false;
            j.beginOutput(dest);
            if (reached()) return false;
            // The writer is a process that has ended by the time anyone looks.
            std::string temp = safe_output_template(dest, endedProcess);
            const int fd = mkstemp(temp.data());
            EXPECT_EQ(::write(fd, "new", 3), 3);
            ::close(fd);
            if (reached()) return false;
            fs::rename(temp, dest);
            if (reached()) return false;
            j.itemWritten(dest);
            if (reached()) return false;
            j.itemDone();
            items.erase(items.begin());
        }
        j.finish(false);
        return true;
    }

    // `written` new outputs and `left` outputs of an earlier batch; each new
    // one once in the saved list, no list, marker or temporary file left.
    void expectWritten(const BatchJournal& j, std::size_t written, std::size_t left) {
        std::vector<std::string> news, olds;
        for (const auto& e : fs::directory_iterator(out)) {
            const std::string name = e.path().filename().string();
            ASSERT_NE(name[0], '.') << "a temporary file is left: " << name;
            (read_file(e.path()) == "new" ? news : olds).push_back(name);
        }
        EXPECT_EQ(news.size(), written);
        EXPECT_EQ(olds.size(), left);
        const std::vector<std::string> saved = readBatchSavedList(j.savedFile()).value_or(std::vector<std::string>());
        ASSERT_EQ(saved.size(), written);
        for (const std::string& p : saved) EXPECT_EQ(read_file(p), "new") << p;
        EXPECT_FALSE(fs::exists(j.listFile()));
        EXPECT_FALSE(fs::exists(j.markerFile()));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "support"), fs::directory_iterator()), written ? 1 : 0);
    }
};

TEST(BatchJournal, StoppedAtAnyStepAndResumedWritesEveryOutputOnceWithOrWithoutOverwriting) {
    const int kItems = 3, kStepsPerItem = 6;
    for (bool dontOverwrite : {false, true}) {
        for (int stopAt = 0; stopAt < kItems * kStepsPerItem; ++stopAt) {
            SCOPED_TRACE(testing::Message() << "dontOverwrite " << dontOverwrite << ", stopped before step " << stopAt);
            SimulatedBatch b;
            b.dontOverwrite = dontOverwrite;
            fs::create_directories(b.out);
            std::vector<std::string> items;
            for (int i = 0; i < kItems; ++i) {
                items.push_back((b.dir / ("img" + std::to_string(i) + ".dng")).string());
                // An output of an earlier batch is there already.
                std::ofstream(b.out / ("img" + std::to_string(i) + ".tiff")) << "old";
            }
            BatchJournal first = b.journal();
            first.start(items);
            ASSERT_FALSE(b.run(first, items, stopAt));

            // The next start: the list read, the written item recovered (or
            // the one being developed kept to be tried again), the rest run.
            BatchJournal resumed = b.journal();
            BatchJournal::Recovery recovered =
                resumed.recover(readBatchSavedList(resumed.listFile()).value_or(std::vector<std::string>()));
            // Stopped after its marker and before its output was in place.
            const int stepOfItem = stopAt % kStepsPerItem;
            const bool retried = stepOfItem >= 1 && stepOfItem <= 3;
            EXPECT_FALSE(recovered.abandoned);
            EXPECT_EQ(recovered.retried.has_value(), retried);
            const std::string developed = "img" + std::to_string(stopAt / kStepsPerItem) + ".dng";
            if (retried) EXPECT_EQ(*recovered.retried, (b.dir / developed).string());
            std::vector<std::string> pending = recovered.pending;
            resumed.start(pending);
            ASSERT_TRUE(b.run(resumed, pending, -1));
            b.expectWritten(resumed, kItems, dontOverwrite ? kItems : 0);
        }
    }
}

// Ends of a batch while its first item is developed (after its marker,
// before its output), then the resumed batch run to its end.
TEST(BatchJournal, AnItemIsGivenUpAtTwoAbnormalEndsInARowOrACrashNotedOnIt) {
    const int kItems = 3;
    const struct {
        const char* what;
        std::vector<int> stops;  // each run's stop, counted over its steps
        int signal;              // a crash in the first run instead of a stop
        bool abandoned, crashed;
    } cases[] = {
        {"once", {1}, 0, false, false},
        {"twice in a row", {1, 1}, 0, true, false},
        {"twice in a row, the second time at its output", {3, 2}, 0, true, false},
        {"twice, the second time at the next item", {1, 7}, 0, false, false},
        {"a crash", {}, SIGSEGV, true, true},
        {"an abort", {}, SIGABRT, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatedBatch b;
        fs::create_directories(b.out);
        std::vector<std::string> items;
        for (int i = 0; i < kItems; ++i) items.push_back((b.dir / ("img" + std::to_string(i) + ".dng")).string());
        const std::string first = items[0];
        BatchJournal journal = b.journal();
        journal.start(items);
        if (c.signal) {
            const pid_t child = fork();
            if (child == 0) {
                journal.beginItem(first);
                raise(c.signal);
                _exit(0);
            }
            int status = 0;
            waitpid(child, &status, 0);
            ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child did not crash";
        }
        BatchJournal::Recovery recovered;
        for (std::size_t run = 0; run <= c.stops.size(); ++run) {
            BatchJournal j = run == 0 && !c.signal ? journal : b.journal();
            std::vector<std::string> pending = items;
            if (run > 0 || c.signal) {
                recovered = j.recover(readBatchSavedList(j.listFile()).value_or(std::vector<std::string>()));
                // Asked again before the batch is taken up: as it was.
                if (recovered.retried) EXPECT_EQ(j.recover(recovered.pending).retried, recovered.retried);
                pending = recovered.pending;
            }
            if (run > 0 || c.signal) j.start(pending);
            ASSERT_EQ(b.run(j, pending, run < c.stops.size() ? c.stops[run] : -1), run == c.stops.size());
        }
        EXPECT_EQ(recovered.abandoned == std::optional<std::string>(first), c.abandoned);
        EXPECT_EQ(recovered.crashed, c.crashed);
        b.expectWritten(b.journal(), c.abandoned ? kItems - 1 : kItems, 0);
        EXPECT_EQ(fs::exists(b.out / "img0.tiff"), !c.abandoned);
    }
}

TEST(BatchJournal, AStaleMarkerIsDroppedAndAnotherListsMarkerNeverSkipsAnItem) {
    SimulatedBatch b;
    fs::create_directories(b.out);
    BatchJournal j = b.journal();
    const std::string a = (b.dir / "a.dng").string(), c = (b.dir / "c.dng").string();
    const std::string out = (b.out / "a.tiff").string();
    std::ofstream(out) << "written";
    // The marker of "a" when the list held two items; the list now holds one
    // (the list was rewritten, the marker not yet removed).
    ASSERT_TRUE(BatchJournal::writeMarker(j.markerFile(), {a, out, 2, FileStamp{}}));
    EXPECT_EQ(j.recover({a}).pending, std::vector<std::string>{a});
    EXPECT_FALSE(fs::exists(j.markerFile()));
    // A marker of another item leaves the list as it is.
    ASSERT_TRUE(BatchJournal::writeMarker(j.markerFile(), {c, out, 1, FileStamp{}}));
    const BatchJournal::Recovery other = j.recover({a});
    EXPECT_EQ(other.pending, std::vector<std::string>{a});
    EXPECT_FALSE(other.abandoned);
    // An item postponed (its output could not be written) is tried again.
    j.start(std::vector<std::string>{a});
    j.beginItem(a);
    j.beginOutput(out);
    j.itemPostponed();
    EXPECT_FALSE(fs::exists(j.markerFile()));
    const BatchJournal::Recovery postponed = j.recover({a});
    EXPECT_EQ(postponed.pending, std::vector<std::string>{a});
    EXPECT_FALSE(postponed.abandoned);
    // The marker round trip keeps every field.
    BatchMarker m{a, out, 7, stampOf(out)};
    m.abnormalEnds = 1;
    m.crashed = true;
    m.developing = false;
    ASSERT_TRUE(BatchJournal::writeMarker(j.markerFile(), m));
    const std::optional<BatchMarker> back = BatchJournal::readMarker(j.markerFile());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->sourceFile, a);
    EXPECT_EQ(back->destinationFile, out);
    EXPECT_EQ(back->remaining, 7u);
    EXPECT_TRUE(back->before == m.before);
    EXPECT_TRUE(m.before.exists);
    EXPECT_EQ(back->abnormalEnds, 1u);
    EXPECT_TRUE(back->crashed);
    EXPECT_FALSE(back->developing);
}

// The end-of-batch text: each list names its first files and counts the
// rest; the reasons of files that cannot be taken.
TEST(BatchReport, TextAndReasons) {
    BatchReport report;
    EXPECT_TRUE(report.empty());
    for (const char* f : {"/p/a.dng", "/p/b.dng", "/p/c.dng"}) report.notWritten(f, "Permission denied");
    report.standIn("/p/d.dng", "AdobeRGB");
    EXPECT_EQ(report.text(2),
              "3 files were not written:\n/p/a.dng: Permission denied\n/p/b.dng: Permission denied\n"
              "... and 1 more (listed in the log)\n\n1 file was developed with a stand-in:\n/p/d.dng: AdobeRGB");
    EXPECT_EQ(report.text().find("more"), std::string::npos);

    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.dng").c_str(), 0644), 0);
    std::ofstream(dir / "text.dng") << "no raw";
    EXPECT_EQ(unreadableFileReason((dir / "none.dng").string()), "No such file or directory");
    EXPECT_EQ(unreadableFileReason(dir.path().string()), "a folder, not a file");
    EXPECT_EQ(unreadableFileReason((dir / "fifo.dng").string()), "not a regular file");
    EXPECT_EQ(unreadableFileReason((dir / "text.dng").string()), "not a raw file of a known camera");
}

}  // namespace
}  // namespace dvk::test
