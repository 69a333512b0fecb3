// The open road on real files: a failed load keeps the open file, the
// same-file rule, tracing a TIFF or JPEG back to its raw file, the history
// filter, settings files, requests of several files, and the busy rule.
#include <filesystem>
#include <fstream>

#include "app/history/history_defaults.h"
#include "pipeline/load/load_raw_file.h"
#include "platform/modifier_keys.h"
#include "tests/app/roads/roads_fixture.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

using OpenRoad = RoadsFixture;

TEST_F(OpenRoad, AFileThatFailsToLoadLeavesTheOpenFileWholeAndSaveStillWritesIt) {
    const std::string x = canonFile("p/x.dng");
    const fs::path gpr = dir / "photos" / "p" / "clip.gpr";
    fs::create_symlink(testdata_dir() / "raw" / "hero7.gpr", gpr);
    ASSERT_TRUE(openAndWait(x));
    EXPECT_TRUE(ui.saw("opened"));
    raw().setRotation(16);
    raw().setDestinationFile(photos() + "/out/");
    const float* image = raw().image32();

    // LibRaw cannot decode it (as from an open event, which does not ask
    // identify_camera first).
    ASSERT_TRUE(openAndWait(gpr.string()));
    EXPECT_EQ(alertTexts().back(), "Unknown format|" + gpr.string());
    EXPECT_EQ(raw().fileName(), x);
    EXPECT_EQ(raw().rotation(), 16);
    EXPECT_EQ(raw().destinationFile(), photos() + "/out/");
    EXPECT_EQ(raw().image32(), image);
    EXPECT_FALSE(controller->isBusy());

    controller->saveFile();
    controller->waitForRoads();
    EXPECT_TRUE(fs::exists(photos() + "/out/x.tiff"));
    EXPECT_FALSE(controller->isBusy());
}

TEST_F(OpenRoad, TheSameFileKeepsItsRotationAnotherStartsAtZeroBeforeItsDefault) {
    const std::string x = canonFile("p/x.dng");
    const std::string y = canonFile("q/y.dng");
    openFile(y);
    raw().setRotation(16);
    record(photos() + "/q/");  // y's folder default turns it

    ASSERT_TRUE(openAndWait(x));
    raw().setRotation(13);
    ui.clear();
    ASSERT_TRUE(openAndWait(x));
    EXPECT_EQ(raw().rotation(), 13);
    EXPECT_FALSE(ui.saw("reset"));
    EXPECT_TRUE(ui.saw("title:x.dng"));

    ASSERT_TRUE(openAndWait(y));
    EXPECT_EQ(raw().rotation(), 16);
    EXPECT_TRUE(ui.saw("reset"));
    EXPECT_EQ(controller->recentDocuments(), (std::vector<std::string>{y, x}));
    EXPECT_EQ(controller->cameraInfo(), "Camera Model Name : Stub\n");
}

TEST_F(OpenRoad, ATiffOrJpegIsTracedToItsRawFileBesideItOrThroughTheHistory) {
    // Beside it, whatever the case; a JPEG of the same stem is not a raw file.
    const std::string raw1 = canonFile("p/img_1.dng");
    std::ofstream(dir / "photos" / "p" / "IMG_1.JPG") << "jpeg";
    const std::string tif = photos() + "/p/IMG_1.TIF";
    std::ofstream(tif) << "tiff";
    EXPECT_EQ(controller->getRAWPathForTiffJpeg(tif), raw1);
    EXPECT_EQ(controller->originalNonRawFile(), tif);
    EXPECT_TRUE(ui.saw("info:Resolved\nIMG_1.TIF to \n" + raw1));

    // Moved away: the newest record that wrote exactly this file (ignoring
    // case) and whose source still exists.
    const std::string moved = photos() + "/elsewhere/Print.tif";
    fs::create_directories(photos() + "/elsewhere");
    std::ofstream(moved) << "tiff";
    const std::string source = canonFile("raw/IMG_7.dng");
    openFile(source);
    record(source, photos() + "/ELSEWHERE/print.TIF");
    record(photos() + "/gone/IMG_8.dng", moved);  // newer, but its source is gone
    EXPECT_EQ(controller->getRAWPathForTiffJpeg(moved), source);

    // By stem: a record whose source has the stem (not one whose name merely ends with it).
    const std::string stem = photos() + "/elsewhere/img_7.jpg";
    std::ofstream(stem) << "jpeg";
    record(photos() + "/raw/XIMG_7.dng", "/nowhere/");
    EXPECT_EQ(controller->getRAWPathForTiffJpeg(stem), source);

    const std::string lost = photos() + "/elsewhere/lost.tif";
    std::ofstream(lost) << "tiff";
    EXPECT_EQ(controller->getRAWPathForTiffJpeg(lost), std::nullopt);
    EXPECT_EQ(controller->originalNonRawFile(), std::nullopt);
    EXPECT_TRUE(ui.saw("info:Unable to resolve\nlost.tif to Raw"));
    ui.clear();
    EXPECT_EQ(controller->getRAWPathForTiffJpeg(source), std::nullopt);
    EXPECT_TRUE(ui.events().empty());

    // The traced raw file is developed back onto the TIFF it came from.
    ASSERT_EQ(controller->getRAWPathForTiffJpeg(tif), raw1);
    ASSERT_TRUE(openAndWait(raw1));
    EXPECT_EQ(raw().destinationFile(), tif);
    // Its name follows the format in force: no JPEG data in a ".TIF".
    raw().setSaveFormat(4);
    record(raw1, "");
    ASSERT_EQ(controller->getRAWPathForTiffJpeg(tif), raw1);
    ASSERT_TRUE(openAndWait(raw1));
    EXPECT_EQ(raw().saveFormat(), 4);
    EXPECT_EQ(raw().destinationFile(), photos() + "/p/IMG_1.jpeg");
}

TEST_F(OpenRoad, TheHistoryShowsTheFilesOwnRecordsAndItsChainsDefaultsOfItsCamera) {
    const std::string x = canonFile("p/IMG_1.dng");
    const std::string acme = acmeFile("p/a.dng");
    openFile(acme);
    record(photos() + "/p/");
    openFile(x);
    const std::int64_t own = record().objectID();
    record(photos() + "/p/XIMG_1.dng");
    const std::int64_t folder = record(photos() + "/p/").objectID();
    const std::int64_t camera = record("/").objectID();
    record(photos() + "/q/");
    controller->reloadHistory();

    ASSERT_TRUE(openAndWait(x));
    std::vector<std::int64_t> shown;
    for (const HistoryMO& r : controller->historyList().arrangedObjects()) shown.push_back(r.objectID());
    EXPECT_EQ(shown, (std::vector<std::int64_t>{camera, folder, own}));
    // Its own record is its default, and is selected.
    EXPECT_EQ(controller->historyList().selectedObjects().front().objectID(), own);
    // "Show all records" lists the other files' records too, keeping the
    // selection; switched off, the file's filter holds again.
    HistoryList& list = controller->historyList();
    list.setShowsAll(true);
    EXPECT_EQ(list.arrangedObjects().size(), 6u);
    EXPECT_EQ(list.selectedObjects().front().objectID(), own);
    list.setShowsAll(false);
    EXPECT_EQ(list.arrangedObjects().size(), 3u);
}

TEST_F(OpenRoad, ASettingsFileNeedsAnOpenFileAndIsImportedOntoIt) {
    const std::string settings = (dir / "look.dvks").string();
    std::ofstream(settings) << "exposure 1.25\n";
    ASSERT_TRUE(openAndWait(settings));
    EXPECT_EQ(alertTexts().back(), "|Some Raw file has to be loaded to apply settings");
    EXPECT_TRUE(raw().fileName().empty());

    const std::string x = canonFile("p/x.dng");
    ASSERT_TRUE(openAndWait(x));
    ASSERT_TRUE(openAndWait(settings));
    EXPECT_EQ(raw().fileName(), x);
    EXPECT_EQ(raw().exposure(), 1.25);
    EXPECT_TRUE(ui.saw("info:Camera Model Name : Stub\n"));

    // A file it refuses changes nothing, and is said with the key.
    const std::string refused = (dir / "refused.dvks").string();
    std::ofstream(refused) << "brightness 40\nexposure 12abc\n";
    const std::size_t alerts = alertTexts().size();
    ASSERT_TRUE(openAndWait(refused));
    ASSERT_EQ(alertTexts().size(), alerts + 1);
    EXPECT_EQ(alertTexts().back(),
              "Settings not imported|" + refused + ": the setting exposure takes a number, not \"12abc\"");
    EXPECT_EQ(raw().exposure(), 1.25);
    EXPECT_NE(raw().brightness(), 40);
}

TEST_F(OpenRoad, OneFileOpensSeveralOrOneWithShiftControlRunAsABatchAndNothingStartsWhileBusy) {
    const std::string x = canonFile("p/x.dng");
    const std::string y = canonFile("p/y.dng");
    EXPECT_FALSE(controller->openRequest({photos() + "/nothing"}));
    EXPECT_FALSE(controller->isBusy());

    ASSERT_TRUE(controller->openRequest({x}));
    controller->waitForRoads();
    EXPECT_EQ(raw().fileName(), x);
    EXPECT_FALSE(fs::exists(photos() + "/p/x.tiff"));
    {
        ScopedModifierFlags held(kShiftKeyMask | kControlKeyMask);
        ASSERT_TRUE(controller->openRequest({y}));
        controller->waitForRoads();
    }
    EXPECT_TRUE(fs::exists(photos() + "/p/y.tiff"));
    EXPECT_EQ(alertTexts().back(), "Batch mode|You are about to run a batch for 1 files");
    EXPECT_TRUE(raw().fileName().empty());  // a batch leaves no file open

    // While a load, save or batch runs nothing else starts.
    ASSERT_TRUE(openAndWait(x));
    raw().setProgress(40);
    ASSERT_TRUE(controller->isBusy());
    panels->answerOpen({y});
    controller->selectFile();
    EXPECT_TRUE(panels->openRequests().empty());
    EXPECT_FALSE(controller->startOpen(y));
    controller->saveFileAs();
    EXPECT_TRUE(panels->saveRequests().empty());
    controller->openNextFile();
    EXPECT_FALSE(controller->moveToTrashFile(x));
    controller->waitForRoads();
    EXPECT_EQ(raw().fileName(), x);
    raw().setProgress(0);
}

TEST_F(OpenRoad, WorkOnTheRawProcessorWaitsForAnOpenButNotForASave) {
    const std::string x = canonFile("p/x.dng");
    useMainQueue();
    ASSERT_TRUE(controller->startOpen(x));
    int ran = 0;
    controller->whenRawProcessorFree([&] { ++ran; });
    EXPECT_EQ(ran, 0);
    runMainQueueUntilIdle();
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(controller->rawProcessorInUse());
    controller->saveFile();
    EXPECT_TRUE(controller->isBusy());
    controller->whenRawProcessorFree([&] { ++ran; });
    EXPECT_EQ(ran, 2);
    runMainQueueUntilIdle();
}

}  // namespace
}  // namespace dvk::test
