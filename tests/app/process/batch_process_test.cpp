// dvk converting the files named on its command line as a batch, and a batch
// killed outright (SIGKILL) part-way and resumed at the next start: each
// output once, every path once in the saved list, nothing left behind; a file
// that cannot be read skipped; an ordinary save killed while it writes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "app/batch/batch_export.h"
#include "app/batch/batch_report.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

extern char** environ;

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

// A home of XDG folders and a folder of raw files: links to one synthetic DNG.
struct BatchHome {
    TempDir dir;
    fs::path photos = dir / "photos";
    fs::path support() const { return dir.path() / "data" / "DVK"; }
    fs::path list() const { return support() / "DVKBatchList_dvk.xml"; }
    fs::path saved() const { return support() / "DVKBatchSaved_dvk.xml"; }
    fs::path marker() const { return support() / "DVKBatchMark_dvk.xml"; }

    std::vector<std::string> makeFiles(int n) {
        fs::create_directories(photos);
        const fs::path dng = dir / "shot.dng";
        EXPECT_TRUE(write_dng(dng, gradient_dng(DngLayout::Bayer, 640, 480)));
        std::vector<std::string> files;
        for (int i = 1; i <= n; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "f%02d.dng", i);
            fs::create_symlink(dng, photos / name);
            files.push_back((photos / name).string());
        }
        return files;
    }
    void setDefault(const std::string& key, bool on) {
        fs::create_directories(dir / "config" / "DVK");
        std::ofstream(dir / "config" / "DVK" / "defaults.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>" << key << "</key>"
            << (on ? "<true/>" : "<false/>") << "</dict></plist>\n";
    }

    // Starts dvk with the home's folders, the hooks and `args` (and `more`
    // variables).
    pid_t start(const std::string& alerts, const std::vector<std::string>& args,
                const std::vector<std::string>& more = {}) const {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            if (v.rfind("DVK_", 0) == 0 || v.rfind("XDG_DATA_HOME=", 0) == 0 || v.rfind("XDG_CONFIG_HOME=", 0) == 0)
                continue;
            env.push_back(v);
        }
        env.push_back("XDG_DATA_HOME=" + (dir.path() / "data").string());
        env.push_back("XDG_CONFIG_HOME=" + (dir.path() / "config").string());
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("DVK_DEV_QUIT_IDLE=1");
        env.push_back("DVK_DEV_ALERTS=" + alerts);
        env.push_back("DVK_DEV_EXIFTOOL=/bin/true");
        env.insert(env.end(), more.begin(), more.end());
        std::vector<std::string> argv = {std::string(DVK_BINARY_DIR) + "/bin/dvk"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> a, e;
        for (std::string& s : argv) a.push_back(s.data());
        a.push_back(nullptr);
        for (std::string& s : env) e.push_back(s.data());
        e.push_back(nullptr);
        // Its standard error, the terminal's, goes to a file of the home.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string terminalPath = terminal().string();
        posix_spawn_file_actions_addopen(&actions, 2, terminalPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, a[0], &actions, nullptr, a.data(), e.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    // What the runs said on the standard error they were started with.
    fs::path terminal() const { return dir.path() / "terminal.txt"; }
    // Waits up to a minute; the exit status, or -1.
    static int wait(pid_t pid) {
        for (int i = 0; i < 6000; ++i) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    std::vector<std::string> savedList() const {
        return readBatchSavedList(saved().string()).value_or(std::vector<std::string>());
    }
    // The names in the photo folder other than the raw files.
    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(photos))
            if (e.path().extension() != ".dng") names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST(DvkBatch, FilesOnTheCommandLineAreConvertedWithoutAQuestionAndTheProgramQuits) {
    BatchHome home;
    const std::vector<std::string> files = home.makeFiles(2);
    ASSERT_EQ(BatchHome::wait(home.start("first", files)), 0);
    EXPECT_EQ(home.outputs(), (std::vector<std::string>{"f01.tiff", "f02.tiff"}));
    EXPECT_EQ(home.savedList().size(), 2u);
    EXPECT_FALSE(fs::exists(home.list()));
    const std::string log = read_file(home.support() / "DVK.log");
    EXPECT_EQ(log.find("Alert"), std::string::npos) << log;
    EXPECT_NE(log.find("DVK quit"), std::string::npos);
}

// Killed once a few files are written, then started again: "Proceed" takes
// the batch up ("Continue" would answer its question) and writes all 24.
void killAndResume(BatchHome& home) {
    const int kFiles = 24;
    const std::vector<std::string> files = home.makeFiles(kFiles);
    const pid_t pid = home.start("first", files);
    // Killed while a file is developed (its marker is there).
    for (int i = 0; i < 6000 && (home.savedList().size() < 3 || !fs::exists(home.marker())); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    waitpid(pid, nullptr, 0);
    ASSERT_TRUE(fs::exists(home.list())) << "the batch ended before it was killed";
    const std::size_t written = home.savedList().size();
    ASSERT_LT(written, std::size_t(kFiles));

    ASSERT_EQ(BatchHome::wait(home.start("Proceed,Continue", {})), 0);
    // The file being developed when the kill came (when it came during one)
    // is tried again, as a kill says nothing against it: every file is
    // written once, none is named.
    const std::string log = read_file(home.support() / "DVK.log");
    EXPECT_EQ(log.find(kAbandonedReason), std::string::npos) << log;
    std::vector<std::string> expected;
    for (int i = 1; i <= kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%02d.tiff", i);
        expected.push_back(name);
    }
    EXPECT_EQ(home.outputs(), expected);  // no numbered copy, no temporary file
    const std::vector<std::string> saved = home.savedList();
    EXPECT_EQ(saved.size(), expected.size());
    EXPECT_EQ(std::set<std::string>(saved.begin(), saved.end()).size(), expected.size());
    EXPECT_FALSE(fs::exists(home.list()));
    EXPECT_FALSE(fs::exists(home.marker()));
    EXPECT_NE(log.find("Alert Batch Incomplete batch detected."), std::string::npos);
}

TEST(DvkBatch, KilledPartWayAndResumedWritesEachOutputOnce) {
    BatchHome home;
    killAndResume(home);
}

// Where a second conversion would leave a numbered copy beside the first.
TEST(DvkBatch, KilledPartWayAndResumedWithDontOverwriteOnSaveLeavesNoNumberedCopy) {
    BatchHome home;
    home.setDefault("DontOverwriteOnSave", true);
    killAndResume(home);
}

// An ordinary Save killed while it writes leaves its temporary file, named
// after its process; the next save into that folder removes it, and leaves
// alone what a running process may still be writing and names not of ours.
TEST(DvkSave, WhatASaveKilledWhileWritingLeftIsRemovedByTheNextSaveThere) {
    BatchHome home;
    fs::create_directories(home.photos);
    ASSERT_TRUE(write_dng(home.photos / "big.dng", gradient_dng(DngLayout::Bayer, 4000, 3000)));
    ASSERT_TRUE(write_dng(home.photos / "small.dng", gradient_dng(DngLayout::Bayer, 320, 240)));
    auto hidden = [&] {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(home.photos))
            if (e.path().filename().string()[0] == '.') names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> save = {"DVK_DEV_ACTIONS=saveFile:"};
    const pid_t pid = home.start("first", {(home.photos / "big.dng").string()}, save);
    const std::string prefix = ".big.tiff.dvk-" + std::to_string(pid) + "-";
    bool writing = false;
    for (int i = 0; i < 60000 && !writing; ++i) {
        for (const std::string& name : hidden()) writing = writing || name.rfind(prefix, 0) == 0;
        if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    waitpid(pid, nullptr, 0);
    ASSERT_TRUE(writing) << "the save never wrote";
    const std::vector<std::string> left = hidden();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].rfind(prefix, 0), 0u);
    EXPECT_FALSE(fs::exists(home.photos / "big.tiff"));

    // Process 1 runs as long as the system does; the other name is no writer's.
    std::ofstream(home.photos / ".live.tiff.dvk-1-AbC123") << "x";
    std::ofstream(home.photos / ".other.tiff.AbC123") << "x";
    ASSERT_EQ(BatchHome::wait(home.start("first", {(home.photos / "small.dng").string()}, save)), 0);
    EXPECT_TRUE(fs::exists(home.photos / "small.tiff"));
    EXPECT_EQ(hidden(), (std::vector<std::string>{".live.tiff.dvk-1-AbC123", ".other.tiff.AbC123"}));
    const std::string log = read_file(home.support() / "DVK.log");
    EXPECT_NE(log.find("Removed " + (home.photos / left[0]).string() + ", left by a save that was cut off"),
              std::string::npos)
        << log;
}

// A raw file cut short is known by its camera but cannot be loaded, one of
// random bytes is refused by the raw decoder: the batch goes past them and
// names them with their reasons at its end, in the alert, the log and on
// the standard error it was started with, whether a folder or the files are
// named, and the exit status is 1; no batch is left pending to stop at them
// again.
TEST(DvkBatch, FilesThatCannotBeReadAreSkippedAndNamedAndTheOthersAreConverted) {
    BatchHome home;
    const std::vector<std::string> files = home.makeFiles(4);
    const std::vector<std::uint8_t> whole = read_bytes(chart_dng());
    fs::remove(files[1]);
    ASSERT_TRUE(write_bytes(files[1], std::vector<std::uint8_t>(whole.begin(), whole.begin() + whole.size() / 3)));
    fs::remove(files[2]);
    std::ofstream(files[2]) << std::string(4000, 'z');
    const std::string named = "2 files were not written:\n" + files[2] + ": not a raw file of a known camera\n" +
                              files[1] + ": its data could not be read to the end (the file is cut short or damaged)";
    for (const std::vector<std::string>& args : {std::vector<std::string>{home.photos.string()}, files}) {
        fs::remove(home.terminal());
        for (const std::string& out : home.outputs()) fs::remove(home.photos / out);
        ASSERT_EQ(BatchHome::wait(home.start("first", args)), 1);  // files were not written
        EXPECT_EQ(home.outputs(), (std::vector<std::string>{"f01.tiff", "f04.tiff"}));
        EXPECT_FALSE(fs::exists(home.list()));
        const std::string log = read_file(home.support() / "DVK.log");
        EXPECT_EQ(log.find("batch postponed"), std::string::npos) << log;
        EXPECT_NE(log.find("Alert Batch " + named + " (Ok)"), std::string::npos) << log;
        const std::string terminal = read_file(home.terminal());
        EXPECT_NE(terminal.find("dvk: " + named + "\n"), std::string::npos) << terminal;
        EXPECT_EQ(terminal.find("Alert"), std::string::npos) << terminal;  // the log is elsewhere
        fs::remove(home.support() / "DVK.log");
    }
}

// A batch that cannot write a file is postponed: said on the standard error
// it was started with, with the number of files it leaves, and the exit
// status is 1.
TEST(DvkBatch, APostponedBatchIsSaidWhereItWasStartedAndExitsOne) {
    BatchHome home;
    home.makeFiles(3);
    const fs::path folder = home.photos / "f02.tiff";  // where the second output would go
    fs::create_directory(folder);
    ASSERT_EQ(BatchHome::wait(home.start("first", {home.photos.string()})), 1);
    EXPECT_EQ(home.outputs(), (std::vector<std::string>{"f01.tiff", "f02.tiff"}));
    EXPECT_TRUE(fs::is_directory(folder));
    const std::string terminal = read_file(home.terminal());
    EXPECT_NE(terminal.find("dvk: Can't write file, batch postponed: " + folder.string() + "\na folder, not a file\n"),
              std::string::npos)
        << terminal;
    EXPECT_NE(terminal.find("dvk: 2 files were not written: the batch was postponed; it is offered again at the next "
                            "start\n"),
              std::string::npos)
        << terminal;
    EXPECT_TRUE(fs::exists(home.list()));
}

}  // namespace
}  // namespace dvk::test
