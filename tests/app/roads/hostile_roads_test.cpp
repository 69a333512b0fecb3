// A file whose first reading crashes LibRaw, on the roads that meet it with
// the probe program in use, as the program has it: Next and Previous step
// over it, a batch with it in the middle writes the others and names it, and
// opening it says why it is refused.
#include <filesystem>

#include "pipeline/load/raw_probe.h"
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
    // The corpus's crashing file, copied to `relative` below the photos.
    std::string crashingFile(const std::string& relative) {
        TempDir corpus;
        for (const HostileFile& f : write_hostile_files(corpus.path()))
            if (f.name == "past_end273") fs::copy_file(f.path, fs::path(photos()) / relative);
        return photos() + "/" + relative;
    }
};

TEST_F(HostileRoads, NextAndPreviousStepOverAFileThatCrashesTheDecoder) {
    const std::string a = canonFile("p/a.dng");
    const std::string b = crashingFile("p/b.dng");
    const std::string c = canonFile("p/c.dng");
    ASSERT_TRUE(openAndWait(a));
    EXPECT_EQ(controller->nextFileFrom(), c);
    controller->openNextFile();
    controller->waitForRoads();
    EXPECT_EQ(raw().fileName(), c);
    EXPECT_EQ(controller->previousFileFrom(), a);

    // Named on its own, it is refused with the reason.
    ui.clear();
    ASSERT_TRUE(openAndWait(b));
    EXPECT_FALSE(ui.saw("opened"));
    EXPECT_EQ(alertTexts().back(), "File read error|" + b + ": the file could not be read safely");
    EXPECT_EQ(raw().fileName(), c);
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
