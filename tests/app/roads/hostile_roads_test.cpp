// Files that cannot be read, on the roads that meet them with the probe
// program in use, as the program has it: Next and Previous step past each
// (one whose first reading crashes LibRaw, one cut short, an empty file, a
// FIFO) and name them without an alert; a batch with the crashing file in
// the middle writes the others and names it; opening it says why it is
// refused.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "pipeline/load/raw_probe.h"
#include "platform/modifier_keys.h"
#include "platform/trash.h"
#include "tests/app/roads/roads_fixture.h"
#include "tests/support/hostile_raw_files.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

class HostileRoads : public RoadsFixture {
protected:
    void SetUp() override {
        RoadsFixture::SetUp();
        set_raw_probe_program(std::string(DVK_BINARY_DIR) + "/bin/dvk-probe");
    }
    void TearDown() override {
        set_raw_probe_program(std::string());
        RoadsFixture::TearDown();
    }
    // A file of the corpus ("past_end273": its first reading crashes LibRaw;
    // "truncated": the chart cut in half), copied to `relative` below the photos.
    std::string corpusFile(const std::string& name, const std::string& relative) {
        TempDir corpus;
        for (const HostileFile& f : write_hostile_files(corpus.path()))
            if (f.name == name) fs::copy_file(f.path, fs::path(photos()) / relative);
        return photos() + "/" + relative;
    }
    std::string crashingFile(const std::string& relative) { return corpusFile("past_end273", relative); }
};

TEST_F(HostileRoads, NextAndPreviousStepPastEveryFileThatCannotBeReadAndNameIt) {
    const std::string a = canonFile("p/a.dng");
    const std::string b = corpusFile("truncated", "p/b.dng");  // identified, fails to load
    const std::string c = crashingFile("p/c.dng");
    const std::string d = photos() + "/p/d.dng";
    std::ofstream(d).flush();
    const std::string e = photos() + "/p/e.dng";
    ASSERT_EQ(mkfifo(e.c_str(), 0644), 0);
    std::ofstream(photos() + "/p/e.jpg") << "another kind of file: passed without a word";
    const std::string f = canonFile("p/f.dng");
    ASSERT_TRUE(openAndWait(a));
    const std::size_t asked = alerts.count();
    const auto step = [&](bool next) {
        ui.clear();
        next ? controller->openNextFile() : controller->openPreviousFile();
        controller->waitForRoads();
        return raw().fileName();
    };
    EXPECT_EQ(step(true), f);
    EXPECT_TRUE(ui.saw("opened"));
    EXPECT_TRUE(ui.saw("status:Passed 4 files that cannot be read: b.dng, c.dng, d.dng, e.dng"));
    EXPECT_EQ(ui.events().back().substr(0, ui.events().back().find("\n\n")),
              "info:Passed, as they cannot be read:\n" + b +
                  ": its data could not be read to the end (the file is cut short or damaged)\n" + c +
                  ": the file could not be read safely\n" + d + ": an empty file\n" + e + ": not a regular file");
    EXPECT_EQ(step(false), a);
    EXPECT_TRUE(ui.saw("status:Passed 4 files that cannot be read: e.dng, d.dng, c.dng, b.dng"));
    EXPECT_EQ(step(false), a);  // nothing before a, nothing to say
    EXPECT_FALSE(ui.saw("opened"));
    EXPECT_EQ(ui.events(), std::vector<std::string>{"status:"});
    // Move to Trash opens the next file that can be read by the same rule
    // (this Trash only records: a stays where it was).
    set_trash(std::make_shared<RecordingTrash>());
    ui.clear();
    {
        ScopedModifierFlags option(kAlternateKeyMask);  // no question
        ASSERT_TRUE(controller->moveToTrashFile(a));
    }
    controller->waitForRoads();
    set_trash(nullptr);
    EXPECT_EQ(raw().fileName(), f);
    EXPECT_TRUE(ui.saw("status:Passed 4 files that cannot be read: b.dng, c.dng, d.dng, e.dng"));
    ASSERT_TRUE(openAndWait(a));
    // Nothing readable after the files passed: the open file stays, and the
    // status says so.
    fs::remove(f);
    EXPECT_EQ(step(true), a);
    EXPECT_FALSE(ui.saw("opened"));
    EXPECT_TRUE(ui.saw("status:No next file could be opened. Passed 4 files that cannot be read: b.dng, c.dng, "
                       "d.dng, e.dng"));
    fs::remove(b);
    fs::remove(c);
    fs::remove(d);
    EXPECT_EQ(step(true), a);
    EXPECT_TRUE(ui.saw("status:No next file could be opened. Passed e.dng: not a regular file"));
    EXPECT_EQ(alerts.count(), asked);  // none of it in an alert
}

TEST_F(HostileRoads, AFileThatCrashesTheDecoderNamedOnItsOwnIsRefusedWithTheReason) {
    const std::string a = canonFile("p/a.dng");
    const std::string b = crashingFile("p/b.dng");
    ASSERT_TRUE(openAndWait(a));
    ui.clear();
    ASSERT_TRUE(openAndWait(b));
    EXPECT_FALSE(ui.saw("opened"));
    EXPECT_EQ(alertTexts().back(), "File read error|" + b + ": the file could not be read safely");
    EXPECT_EQ(raw().fileName(), a);
}

TEST_F(HostileRoads, ABatchWithACrashingFileInTheMiddleWritesTheOthers) {
    const std::string f1 = acmeFile("b/f1.dng");
    const std::string f2 = crashingFile("b/f2.dng");
    const std::string f3 = acmeFile("b/f3.dng");
    ASSERT_TRUE(controller->runBatchInThread({BatchItem::path(f1), BatchItem::path(f2), BatchItem::path(f3)}));
    controller->waitForRoads();
    EXPECT_TRUE(fs::exists(photos() + "/b/f1.tiff"));
    EXPECT_FALSE(fs::exists(photos() + "/b/f2.tiff"));
    EXPECT_TRUE(fs::exists(photos() + "/b/f3.tiff"));
    EXPECT_EQ(alertTexts().back(), "Batch|1 file was not written:\n" + f2 + ": the file could not be read safely");
    EXPECT_FALSE(controller->isBusy());
}

}  // namespace
}  // namespace dvk::test
