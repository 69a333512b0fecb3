// Saving on real files: the record of the settings written, the overwrite
// rule, half size, a failed full-size load, a file the develop refuses, the
// editor's variables after the tags are in, Save/Next, and the editors pop-up.
#include <tiffio.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/menus/editors_button_items.h"
#include "pipeline/stages/gamut_map.h"
#include "tests/app/roads/roads_fixture.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_files.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

std::uint32_t tiff_width(const std::string& path) {
    TIFF* t = TIFFOpen(path.c_str(), "r");
    if (!t) return 0;
    std::uint32_t w = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
    TIFFClose(t);
    return w;
}

using SaveRoad = RoadsFixture;

TEST_F(SaveRoad, TheRecordHoldsTheSettingsChosenNotThoseChangedMeanwhileAndAnUnchangedSaveAddsNoneAtAnySize) {
    const std::string x = canonFile("p/x.dng");
    ASSERT_TRUE(openAndWait(x));
    raw().setExposure(0.5);
    useMainQueue();
    controller->saveFile();
    EXPECT_TRUE(controller->isBusy());
    // The user goes on while the file is written.
    raw().setExposure(1.5);
    runMainQueueUntilIdle();
    EXPECT_FALSE(controller->isBusy());
    EXPECT_EQ(raw().progress(), 0);
    ASSERT_TRUE(fs::exists(photos() + "/p/x.tiff"));
    std::vector<HistoryMO> records = recordsWithSource(x);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].valueForKey("exposure").double_value(), 0.5);
    EXPECT_EQ(records[0].comment(), "Action: Save");
    EXPECT_EQ(records[0].destinationFile(), "");
    EXPECT_TRUE(ui.saw("updatePrev"));

    // The same settings again: the file's own record is its default, no new one.
    raw().setExposure(0.5);
    controller->saveFile();
    runMainQueueUntilIdle();
    EXPECT_EQ(recordsWithSource(x).size(), 1u);

    // At full size the load works the second green's balance out again from
    // the whole sensor (a little off the preview's); the record keeps what
    // the user chose, so saving, quitting and opening again add nothing more.
    raw().setInterpolation(0);
    const double green2 = raw().evGreen2();
    controller->saveFile();
    runMainQueueUntilIdle();
    records = recordsWithSource(x);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].valueForKey("evGreen2").double_value(), green2);
    EXPECT_EQ(records[0].valueForKey("interpolation").int_value(), 0);
    controller->saveFile();
    runMainQueueUntilIdle();
    EXPECT_TRUE(controller->areCurrentSettingsDefaultInHistory());  // the quit records no "Action: Exit"
    ASSERT_TRUE(controller->startOpen(x));
    runMainQueueUntilIdle();
    EXPECT_TRUE(controller->areCurrentSettingsDefaultInHistory());
    controller->saveFile();
    runMainQueueUntilIdle();
    EXPECT_EQ(recordsWithSource(x).size(), 2u);
}

TEST_F(SaveRoad, SaveNumbersAroundAnExistingFileSaveAsOverwritesTheChosenOneAndHalfSizeHalves) {
    const std::string x = canonFile("p/x.dng");
    ASSERT_TRUE(openAndWait(x));
    raw().setDontOverwriteOnSave(1);
    const std::string tiff = photos() + "/p/x.tiff";
    std::ofstream(tiff) << "old";
    controller->saveFile();
    controller->waitForRoads();
    EXPECT_EQ(read_file(tiff), "old");
    const std::uint32_t half = tiff_width(photos() + "/p/x-001.tiff");

    raw().setInterpolation(0);
    panels->answerSave(tiff);
    controller->saveFileAs();
    controller->waitForRoads();
    EXPECT_EQ(panels->saveRequests().at(0).fileName, "x.tiff");
    EXPECT_EQ(raw().dontOverwriteOnSave(), 1);
    EXPECT_FALSE(fs::exists(photos() + "/p/x-002.tiff"));
    const std::uint32_t full = tiff_width(tiff);
    EXPECT_GT(full, 1000u);
    EXPECT_EQ(half, full / 2);
    EXPECT_EQ(recordsWithSource(x).front().destinationFile(), tiff);
}

// A destination (the history's own; settings from elsewhere bring none)
// names a folder that is not there: the Save As panel proposes it, and only
// a file written there makes it.
TEST_F(SaveRoad, AFolderIsMadeOnlyWhenAFileIsWrittenIntoIt) {
    const std::string x = canonFile("p/x.dng");
    ASSERT_TRUE(openAndWait(x));
    const std::string folder = photos() + "/new/deeper";
    raw().setDestinationFile(folder + "/x.tiff");
    panels->answerCancel();
    controller->saveFileAs();
    controller->waitForRoads();
    ASSERT_EQ(panels->saveRequests().size(), 1u);
    EXPECT_EQ(panels->saveRequests()[0].directory, folder);
    EXPECT_FALSE(fs::exists(photos() + "/new"));
    controller->copySettings("Export Settings");  // beside the output: it writes a file
    EXPECT_TRUE(fs::exists(folder + "/x.tiff.dvks"));
    fs::remove_all(photos() + "/new");

    controller->saveFile();
    controller->waitForRoads();
    EXPECT_GT(tiff_width(folder + "/x.tiff"), 0u);
    EXPECT_TRUE(alerts.requests().empty());
}

// A raw file with a TIFF name opens as the raw file it is (never traced,
// even where the history would trace it to itself) and is never written
// over: Save writes a numbered file beside it, Save As onto it, or onto a
// link to it, is refused with the reason.
TEST_F(SaveRoad, ARawFileWithATiffNameIsNeverWrittenOver) {
    const std::string photo = acmeFile("p/photo.tiff");
    const std::string bytes = read_file(photo);
    openFile(photo);
    record(photo, photo);  // what an earlier save onto itself recorded
    fs::create_symlink("photo.tiff", photos() + "/p/link.tiff");
    EXPECT_EQ(controller->getRAWPathForTiffJpeg(photo), std::nullopt);
    EXPECT_EQ(controller->originalNonRawFile(), std::nullopt);
    ASSERT_TRUE(openAndWait(photo));
    raw().setDestinationFile("");
    controller->saveFile();
    controller->waitForRoads();
    EXPECT_TRUE(fs::exists(photos() + "/p/photo-001.tiff"));
    for (const char* chosen : {"photo.tiff", "link.tiff"}) {
        panels->answerSave(photos() + "/p/" + chosen);
        controller->saveFileAs();
        controller->waitForRoads();
        EXPECT_EQ(alertTexts().back(),
                  "Can't write to file:|" + photos() + "/p/" + chosen + "\nit is the raw file being developed");
    }
    EXPECT_EQ(read_file(photo), bytes);
    EXPECT_EQ(namesIn(photos() + "/p"), (std::vector<std::string>{"link.tiff", "photo-001.tiff", "photo.tiff"}));
}

// Another raw file where the output would go (a scanner's raw named .tif, a
// raw of the same name) is never written over, whatever named the output
// (the raw's own name, a destination folder or file, Save As): the output
// takes the next number where no raw file is, and nothing is said against it.
TEST_F(SaveRoad, AnotherRawFileIsNeverWrittenOver) {
    struct Case {
        bool saveAs;
        const char* destination;  // the destination setting, or the name Save As is given
        std::vector<std::string> raws;
        const char* written;
    } cases[] = {
        {false, "", {"x.tiff"}, "x-001.tiff"},
        {false, "out/", {"out/x.tiff"}, "out/x-001.tiff"},
        {false, "fixed.tiff", {"fixed.tiff", "fixed-001.tiff"}, "fixed-002.tiff"},
        {true, "other.tif", {"other.tif"}, "other-001.tif"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.destination);
        const std::string folder = photos() + "/p" + std::to_string(++n);
        const std::string x = acmeFile("p" + std::to_string(n) + "/x.dng");
        const std::string bytes = read_file(x);
        fs::create_directories(folder + "/out");
        for (const std::string& r : c.raws) fs::copy_file(x, folder + "/" + r);
        ASSERT_TRUE(openAndWait(x));
        if (c.saveAs) {
            panels->answerSave(folder + "/" + c.destination);
            controller->saveFileAs();
        } else {
            raw().setDestinationFile(c.destination);
            controller->saveFile();
        }
        controller->waitForRoads();
        EXPECT_TRUE(alerts.requests().empty()) << alertTexts().back();
        EXPECT_GT(tiff_width(folder + "/" + c.written), 0u);
        for (const std::string& r : c.raws) EXPECT_EQ(read_file(folder + "/" + r), bytes) << r;
        EXPECT_EQ(read_file(x), bytes);
    }
}

// A camera profile file that went away after the open is not developed
// from a copy in silence: the save says it, as the open would, and develops
// with the camera's own profile; the window's settings stay as they are.
TEST_F(SaveRoad, AProfileFileGoneSinceTheOpenIsSaidAndTheSaveUsesTheCamerasOwn) {
    const std::string x = acmeFile("p/x.dng");
    ASSERT_TRUE(openAndWait(x));
    controller->saveFile();
    controller->waitForRoads();
    fs::rename(photos() + "/p/x.tiff", photos() + "/p/camera.tiff");
    const IccBytes icc = builtin_icc_bytes("AdobeRGB2.2");
    const std::string profile = (dir / "Mine.icc").string();
    std::ofstream(profile, std::ios::binary).write(reinterpret_cast<const char*>(icc.data), icc.size);
    raw().setCustomRawProfile(profile);
    ASSERT_NE(raw().dvklib()->custom_profile_data, nullptr);
    fs::remove(profile);
    controller->saveFile();
    controller->waitForRoads();
    EXPECT_EQ(alertTexts().back(), "Camera profile not found|The camera profile \"" + profile +
                                       "\" cannot be read (No such file or directory). The default profile is used "
                                       "instead.");
    EXPECT_EQ(read_file(photos() + "/p/x.tiff"), read_file(photos() + "/p/camera.tiff"));
    EXPECT_EQ(raw().customRawProfile(), profile);
}

// A destination kept from before (as an old paste left it, or through a
// reload of a record) takes the extension of the save format in force, as
// a traced file's does; the record keeps the name written.
TEST_F(SaveRoad, AKeptDestinationTakesTheExtensionOfTheSaveFormat) {
    const std::string x = acmeFile("p/x.dng");
    ASSERT_TRUE(openAndWait(x));
    raw().setSaveFormat(4);
    raw().setDestinationFile(photos() + "/p/out.tiff");
    controller->saveFile();
    controller->waitForRoads();
    EXPECT_FALSE(fs::exists(photos() + "/p/out.tiff"));
    EXPECT_EQ(read_file(photos() + "/p/out.jpeg").rfind("\xff\xd8\xff", 0), 0u);
    const std::vector<HistoryMO> records = recordsWithSource(x);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().destinationFile(), photos() + "/p/out.jpeg");

    // A record of the TIFF format reloaded onto the open file keeps its destination, as a TIFF.
    raw().setSaveFormat(0);
    const HistoryMO tiff = record();
    raw().setSaveFormat(4);
    raw().setDestinationFile(photos() + "/p/kept.jpg");
    controller->setFromHistory(tiff);
    EXPECT_EQ(raw().destinationFile(), photos() + "/p/kept.tiff");
    raw().setDestinationFile(photos() + "/p/folder/");
    controller->setFromHistory(tiff);
    EXPECT_EQ(raw().destinationFile(), photos() + "/p/folder/");
}

TEST_F(SaveRoad, AFailedFullSizeLoadIsToldAndEndsTheSaveWithoutARecord) {
    const std::string x = canonFile("p/x.dng");
    ASSERT_TRUE(openAndWait(x));
    fs::remove(x);
    controller->saveFile();  // the destination is still writable
    controller->waitForRoads();
    ASSERT_FALSE(alerts.requests().empty());
    const AlertRequest last = alerts.requests().back();
    EXPECT_EQ(last.title, "Error");
    // The reason, not the loader's code for it.
    EXPECT_EQ(last.text, x + ": No such file or directory");
    EXPECT_TRUE(recordsWithSource(x).empty());
    EXPECT_FALSE(controller->isBusy());
    EXPECT_EQ(raw().progress(), 0);
}

TEST_F(SaveRoad, AFileTheDevelopRefusesIsToldWithItsReasonAndNothingIsWritten) {
    // A four-colour sensor (cyan, yellow, green, magenta): it opens, but is not developed.
    fs::create_directories(photos() + "/p");
    const std::string x = photos() + "/p/cygm.dng";
    DngSpec s = gradient_dng(DngLayout::Bayer, 64, 48);
    s.cfa_block = {0, 1, 2, 3};
    s.cfa_planes = {3, 5, 1, 4};
    s.color_matrix1 = {0.5, 0.1, -0.1, -0.7, 1.5, 0.2, -0.1, 0.2, 0.6, 0.3, 0.3, 0.3};
    s.as_shot_neutral = {0.6, 0.8, 1.0, 0.7};
    ASSERT_TRUE(write_dng(x, s));
    ASSERT_TRUE(openAndWait(x));
    controller->saveFile();
    controller->waitForRoads();
    ASSERT_FALSE(alerts.requests().empty());
    const AlertRequest last = alerts.requests().back();
    EXPECT_EQ(last.title, "Can't develop cygm.dng");
    EXPECT_EQ(last.text, RawProcessor::kFourColourRefusal);
    EXPECT_FALSE(fs::exists(photos() + "/p/cygm.tiff"));
    EXPECT_TRUE(recordsWithSource(x).empty());
    EXPECT_FALSE(controller->isBusy());
}

TEST_F(SaveRoad, TheEditorGetsTheFileWithItsTagsAndThreeVariablesTheProgramNeverHolds) {
    const std::string x = canonFile("p/x.dng");
    const fs::path seen = dir / "editor.txt";
    const std::string editor = script(
        "editor", "{ echo \"in=$DVK_INFILE\"; echo \"out=$DVK_OUTFILE\"; echo \"camera=$DVK_CAMERA\"; "
                  "test -f \"$DVK_OUTFILE.tags\" && echo tags; echo \"arg=$1\"; } > " +
                      seen.string() + ".part && mv " + seen.string() + ".part " + seen.string());
    controller->editors() = {editor};
    controller->setCurrentEditor(1);
    ui.copyTags = true;
    ASSERT_TRUE(openAndWait(x));
    controller->saveFile();
    controller->waitForRoads();
    for (int i = 0; i < 500 && !fs::exists(seen); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string out = photos() + "/p/x.tiff";
    EXPECT_EQ(read_file(seen),
              "in=" + x + "\nout=" + out + "\ncamera=Canon EOS Kiss X4\ntags\narg=" + out + "\n");
    EXPECT_EQ(std::getenv("DVK_INFILE"), nullptr);
    EXPECT_EQ(std::getenv("DVK_OUTFILE"), nullptr);
    EXPECT_EQ(std::getenv("DVK_CAMERA"), nullptr);
}

TEST_F(SaveRoad, SaveNextOpensTheNextRawFileUntilThereIsNone) {
    const std::string a = canonFile("p/a.dng");
    const std::string b = canonFile("p/b.dng");
    ui.saveTitle = "Save/Next";
    ui.copyTags = true;  // without an editor the copy runs on its own thread
    ASSERT_TRUE(openAndWait(a));
    controller->saveFile();
    controller->waitForRoads();
    EXPECT_EQ(raw().fileName(), b);
    controller->saveFile();
    controller->waitForRoads();
    EXPECT_EQ(raw().fileName(), b);
    EXPECT_TRUE(fs::exists(photos() + "/p/b.tiff"));
    for (int i = 0; i < 500 && controller->tagCopies().childs() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(photos() + "/p/a.tiff.tags"));
}

TEST(EditorsButton, RepeatedEditorsAreDroppedAndTheFirstTenGetKeys) {
    std::vector<std::string> editors = {"/usr/bin/gimp", "/opt/bin/gimp", "/usr/bin/darktable"};
    for (int i = 0; i < 9; ++i) editors.push_back("/opt/e" + std::to_string(i));
    const std::vector<EditorsButtonItem> items = editorsButtonItems(editors);
    EXPECT_EQ(editors.size(), 11u);
    EXPECT_EQ(editors[1], "/usr/bin/darktable");
    ASSERT_EQ(items.size(), 15u);
    EXPECT_EQ(items[0].title, "Don't open");
    EXPECT_EQ(items[0].keyEquivalent, "`");
    EXPECT_EQ(items[1].title, "Open in gimp");
    EXPECT_EQ(items[10].keyEquivalent, "10");
    EXPECT_EQ(items[11].keyEquivalent, "");
    EXPECT_TRUE(items[12].separator);
    EXPECT_EQ(items[13].title, "New...");
    EXPECT_EQ(items[14].title, "Delete");
}

}  // namespace
}  // namespace dvk::test
