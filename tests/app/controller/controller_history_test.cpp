// The history window's actions on real raw files: which default a file
// finds, the folder and camera default actions, propagation, removal, and a
// store that cannot be opened.
#include <fstream>
#include <iterator>

#include "app/history/history_defaults.h"
#include "platform/modifier_keys.h"
#include "tests/app/controller/controller_fixture.h"

namespace dvk::test {
namespace {

using ControllerHistory = ControllerFixture;

TEST_F(ControllerHistory, OwnRecordThenInnermostFolderThenCameraDefaultAndNeverAnotherCamerasDefault) {
    const std::string x = canonFile("a/b/x.dng");
    const std::string y = canonFile("a/b/y.dng");
    const std::string acme = acmeFile("a/b/z.dng");

    openFile(x);
    raw().setExposure(-1);
    record("/");
    raw().setExposure(1);
    const HistoryMO aDefault = record(photos() + "/a/");
    raw().setExposure(0.5);
    const HistoryMO own = record();

    openFile(acme);
    raw().setExposure(2);
    const HistoryMO acmeDefault = record(photos() + "/a/b/");

    openFile(x);
    EXPECT_EQ(controller->directoryDefault()->objectID(), own.objectID());
    EXPECT_EQ(raw().exposure(), 0.5);
    // y has no record; the /a/b/ default is another camera's: /a/ serves.
    openFile(y);
    EXPECT_EQ(controller->directoryDefault()->objectID(), aDefault.objectID());
    EXPECT_EQ(raw().exposure(), 1);
    openFile(acme);
    EXPECT_EQ(controller->directoryDefault()->objectID(), acmeDefault.objectID());

    // A camera name differing only in case is the same camera.
    HistoryMO upper = aDefault;
    upper.setValueForKey("camera", "CANON EOS KISS X4");
    upper.setValueForKey("sourceFile", photos() + "/a/b/");
    upper.setValueForKey("creationDate", historyNow());
    ASSERT_TRUE(controller->persistentStoreCoordinator().write([&](auto& t) { return t.insert(upper); }));
    openFile(y);
    EXPECT_EQ(controller->directoryDefault()->objectID(), upper.objectID());
}

TEST_F(ControllerHistory, FolderDefaultActionCopiesAFilesRecordAndMovesAnUnchangedFolderDefaultUp) {
    const std::string x = canonFile("a/b/x.dng");
    const std::string y = canonFile("a/b/y.dng");
    openFile(x);
    raw().setExposure(0.7);
    controller->addToHistoryAndSetDirectoryDefault("Set Default");
    // The file's own record first, then a new folder default made from it.
    ASSERT_EQ(recordsWithSource(x).size(), 1u);
    std::vector<HistoryMO> defaults = recordsWithSource(photos() + "/a/b/");
    ASSERT_EQ(defaults.size(), 1u);
    EXPECT_EQ(defaults[0].valueForKey("exposure").double_value(), 0.7);
    EXPECT_EQ(defaults[0].valueForKey("reservedString1").description(), "1");  // automatic balance per file
    EXPECT_EQ(controller->historyList().selectedObjects().front().objectID(), defaults[0].objectID());

    // Pressed again: the settings are the file's record, so no new file
    // record, but another folder default, which then wins.
    raw().setExposure(0.7);
    controller->addToHistoryAndSetDirectoryDefault("Set Default");
    EXPECT_EQ(recordsWithSource(x).size(), 1u);
    defaults = recordsWithSource(photos() + "/a/b/");
    ASSERT_EQ(defaults.size(), 2u);
    openFile(y);
    EXPECT_EQ(controller->directoryDefault()->objectID(), defaults[0].objectID());

    // y has no records and its settings are its folder default: the default moves up.
    const std::int64_t moved = defaults[0].objectID();
    controller->addToHistoryAndSetDirectoryDefault("Set Default");
    EXPECT_TRUE(recordsWithSource(y).empty());
    std::vector<HistoryMO> up = recordsWithSource(photos() + "/a/");
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up[0].objectID(), moved);
    EXPECT_EQ(recordsWithSource(photos() + "/a/b/").size(), 1u);
    EXPECT_EQ(alerts.count(), 0u);
}

TEST_F(ControllerHistory, ControlKeepsTheRecordedBalanceAndOptionMakesTheCameraDefault) {
    const std::string x = canonFile("a/x.dng");
    openFile(x);
    raw().setUseCameraWB(1);
    HistoryMO own = record();
    controller->reloadHistory();
    ASSERT_TRUE(controller->selectSettings(own));
    {
        ScopedModifierFlags control(kControlKeyMask);
        controller->setDirectoryDefault();
    }
    std::vector<HistoryMO> folder = recordsWithSource(photos() + "/a/");
    ASSERT_EQ(folder.size(), 1u);
    EXPECT_EQ(folder[0].valueForKey("reservedString1").description(), "0");

    raw().setExposure(-0.3);
    {
        ScopedModifierFlags option(kAlternateKeyMask);
        controller->addToHistoryAndSetDirectoryDefault("Set Default");
    }
    std::vector<HistoryMO> global = recordsWithSource("/");
    ASSERT_EQ(global.size(), 1u);
    EXPECT_EQ(global[0].comment(), "Global Default");
    EXPECT_EQ(global[0].valueForKey("exposure").double_value(), -0.3);
    EXPECT_EQ(global[0].valueForKey("reservedString1").description(), "1");
    EXPECT_EQ(global[0].destinationFile(), "");
    // The menu item's title does the same without Option.
    raw().setUseCameraWB(2);
    controller->addToHistoryAndSetDirectoryDefault("Set current settings as Camera Default");
    global = recordsWithSource("/");
    ASSERT_EQ(global.size(), 2u);
    EXPECT_EQ(global[0].valueForKey("reservedString1").description(), "2");
}

TEST_F(ControllerHistory, HlRangeComparesInThousandthsAfterReadingBack) {
    const std::string x = canonFile("a/x.dng");
    for (double range : {2.5, 2.0004, 2.03}) {
        openFile(x);
        raw().setHlRange(range);
        HistoryMO own = record();
        auto stored = controller->persistentStoreCoordinator().fetch(own.objectID());
        EXPECT_EQ(stored->valueForKey("reservedInt2").int_value(), hlRangeThousandths(range));
        EXPECT_TRUE(controller->areCurrentSettingsDefaultInHistory()) << range;
        // Reopened, the default's value applies and still equals the record.
        openFile(x);
        EXPECT_TRUE(controller->areCurrentSettingsDefaultInHistory()) << range;
    }
    EXPECT_EQ(raw().hlRange(), 2.03);
}

TEST_F(ControllerHistory, PropagationGivesEachRawFileItsOwnCameraAndTheDestinationFolder) {
    const std::string x = canonFile("src/x.dng");
    openFile(x);
    raw().setSaturation(12);
    HistoryMO selected = record(x, "/out/x.tif");
    const std::string c1 = canonFile("batch/c1.dng");
    const std::string c2 = canonFile("batch/deeper/c2.dng");
    const std::string acme = acmeFile("batch/acme.dng");
    std::ofstream(photos() + "/batch/notes.txt") << "not raw";

    // Not exactly one record selected.
    controller->historyList().clearSelection();
    controller->addToHistoryForMany();
    ASSERT_EQ(alerts.count(), 1u);
    EXPECT_EQ(alerts.requests()[0].title.value_or(""), "Wrong selection");

    ASSERT_TRUE(controller->selectSettings(selected));
    panels->answerOpen({photos() + "/batch"});
    alerts.answer("Continue");
    controller->addToHistoryForMany();
    ASSERT_EQ(alerts.count(), 2u);
    EXPECT_EQ(alerts.requests()[1].title.value_or(""), "Set settings for multiple files");
    EXPECT_EQ(alerts.requests()[1].text, propagationConfirmationText(4, "/out/"));
    EXPECT_EQ(panels->openRequests().back().startPath, x);

    for (const std::string& f : {c1, c2, acme}) {
        std::vector<HistoryMO> got = recordsWithSource(f);
        ASSERT_EQ(got.size(), 1u) << f;
        EXPECT_EQ(got[0].destinationFile(), "/out/");
        EXPECT_EQ(got[0].valueForKey("saturation").double_value(), 12);
        // The file's own camera, so the file finds its record.
        openFile(f);
        EXPECT_EQ(controller->directoryDefault()->objectID(), got[0].objectID()) << f;
    }
    EXPECT_EQ(recordsWithSource(acme)[0].camera(), "Acme Fixture 1");
    EXPECT_TRUE(recordsWithSource(photos() + "/batch/notes.txt").empty());

    // Cancel at the confirmation writes nothing.
    const std::size_t before = controller->persistentStoreCoordinator().fetchAll().size();
    ASSERT_TRUE(controller->selectSettings(selected));
    panels->answerOpen({c1});
    alerts.answer("Cancel");
    controller->addToHistoryForMany();
    EXPECT_EQ(controller->persistentStoreCoordinator().fetchAll().size(), before);
}

TEST_F(ControllerHistory, RemoveAsksFirstAndWrongSelectionsChangeNothing) {
    const std::string x = canonFile("a/x.dng");
    openFile(x);
    HistoryMO one = record();
    HistoryMO two = record();
    controller->historyList().setSelectionIndexes({0, 1});
    alerts.answer("Cancel");
    controller->removeFromHistory();
    EXPECT_EQ(controller->historyList().content().size(), 2u);
    alerts.answer("Remove");
    controller->removeFromHistory();
    EXPECT_TRUE(controller->historyList().content().empty());
    EXPECT_EQ(alerts.requests().back().text, "Are you sure you want to remove selected records from history?");

    alerts.clear();
    controller->setDirectoryDefault();
    controller->setGlobalCameraDefault();
    ASSERT_EQ(alerts.count(), 2u);
    EXPECT_EQ(alerts.requests()[0].text, "Please select exactly one record");
    EXPECT_EQ(alerts.requests()[1].title.value_or(""), "Something is wrong");
    EXPECT_TRUE(controller->persistentStoreCoordinator().fetchAll().empty());
}

TEST(ControllerStore, AStoreThatCannotBeOpenedIsReportedOnceLeftAloneAndRefusesWrites) {
    TempDir dir;
    std::filesystem::create_directories(dir / "support");
    const auto db = dir / "support" / "DVK2.db";
    std::ofstream(db, std::ios::binary) << std::string(70000, 'x');
    ScriptedAlerts alerts;
    setAlertPresenter(alerts.presenter());
    {
        ControllerOptions options;
        options.supportFolder = (dir / "support").string();
        Controller controller(options);
        controller.launch();
        ASSERT_EQ(alerts.count(), 1u);
        EXPECT_NE(alerts.requests()[0].text.find(db.string()), std::string::npos);
        EXPECT_NE(alerts.requests()[0].text.find("not a database"), std::string::npos);
        RawProcessor& r = *controller.rawProcessor();
        r.setFileName((dir / "x.dng").string());
        alerts.clear();
        EXPECT_FALSE(controller.addToHistory().has_value());
        ASSERT_FALSE(alerts.requests().empty());
        EXPECT_EQ(alerts.requests().back().text, "Could not save changes to history");
        EXPECT_FALSE(controller.directoryDefault().has_value());
    }
    setAlertPresenter({});
    std::ifstream in(db, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), std::string(70000, 'x'));
}

}  // namespace
}  // namespace dvk::test
