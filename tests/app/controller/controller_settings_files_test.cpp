// Settings on the clipboard and in files, presets and the settings
// selector, and settings files for many raw files at once, on real and
// synthetic raw files.
#include <fstream>
#include <thread>

#include "app/controller/controller_ui.h"
#include "app/batch/multiple_settings.h"
#include "app/menus/presets.h"
#include "app/menus/profile_menu.h"
#include "platform/pasteboard.h"
#include "tests/app/controller/controller_fixture.h"
#include "tests/support/hostile_files.h"
#include "tests/support/test_files.h"
#include "tests/support/test_profiles.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

bool has_line_starting(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0 || text.find("\n" + start) != std::string::npos;
}

// Every file and folder below `root`, with the size of each file.
std::vector<std::string> tree(const fs::path& root) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        std::string entry = e.path().string();
        entry += e.is_regular_file() ? std::to_string(e.file_size()) : std::string("/");
        out.push_back(std::move(entry));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The windows' side, the profile menu's marks included.
struct WindowLog : ControllerUi, ProfileMenuView {
    std::vector<std::string> calls;
    bool autoApplyOff = false;
    void attach(Controller& c) {
        c.setUi(this);
        Controller::MenuViews views;
        views.profiles = this;
        c.setMenuViews(views);
    }
    void detach(Controller& c) {
        c.setUi(nullptr);
        c.setMenuViews({});
    }
    void setProfilesMenu(const MenuItems*) override {}
    void checkProfileItem(const std::string& title) override { calls.push_back("profile " + title); }
    void setWindowTitle(const std::string&) override {}
    void apply(const std::string& title) override { calls.push_back("apply " + title); }
    bool disableAutoApply() const override { return autoApplyOff; }
    void runCreatePresetWindow() override { calls.push_back("new preset window"); }
    void presetsMenuChanged() override { calls.push_back("presets menu"); }
};

class SettingsFiles : public ControllerFixture {
protected:
    // Waits until the controller's background work has ended.
    void waitForWork() {
        for (int i = 0; i < 2000 && !controller->activity().isIdle(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(controller->activity().isIdle());
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> t;
        for (const PresetMenuItem& i : controller->presetsMenu().items()) t.push_back(i.title);
        return t;
    }
    std::size_t indexOf(const std::string& title) const {
        const auto& items = controller->presetsMenu().items();
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i].title == title) return i;
        return 0;
    }
    fs::path presets() const { return dir / "support" / "Presets"; }
};

TEST_F(SettingsFiles, WhiteBalanceSwitchedOffLeavesTheClipboardButNotTheExportAndTheChoiceIsKept) {
    set_general_pasteboard(nullptr);
    openFile(acmeFile("a.dng"));
    raw().setExposure(1.25);
    controller->settingsSelector().setChecked("White Balance", false);
    controller->setDisabledSettings();
    controller->saveDisabledSettings();

    controller->copySettings("Copy Settings");
    const std::string copied = general_pasteboard()->string().value_or("");
    EXPECT_TRUE(has_line_starting(copied, "exposure 1.25\n")) << copied;
    for (const char* key : {"evRed ", "evGreen ", "evBlue ", "evGreen2 ", "useCameraWB ", "manualGreen2 "})
        EXPECT_FALSE(has_line_starting(copied, key)) << key;

    controller->copySettings("Export Settings");
    const std::string exported = read_file(raw().makeFullDestinationFileName() + ".dvks");
    for (const char* key : {"evRed ", "evGreen2 ", "useCameraWB ", "manualGreen2 ", "exposure 1.25\n"})
        EXPECT_TRUE(has_line_starting(exported, key)) << key;

    // The choice is in the defaults and comes back at the next start.
    EXPECT_EQ(defaults->stringArrayForKey(kDisabledSettingsKey), std::vector<std::string>{"White Balance"});
    controller = std::make_unique<Controller>(options());
    controller->launch();
    EXPECT_FALSE(controller->settingsSelector().isChecked("White Balance"));
    EXPECT_TRUE(controller->settingsSelector().isChecked("Exposure"));
    EXPECT_EQ(raw().disabledSettings().size(), 6u);
}

TEST_F(SettingsFiles, ReloadingARecordKeepsTheDestinationSetsItsProfileAndApplies) {
    WindowLog ui;
    ui.attach(*controller);
    openFile(acmeFile("a.dng"));
    raw().setExposure(-1.25);
    // A profile outside the profile folder keeps its path.
    const std::string studio = (dir / "profiles" / "Acme Studio.icc").string();
    write_rgb_profile(studio);
    raw().setCustomRawProfile(studio);
    const HistoryMO saved = record();
    raw().setExposure(0.5);
    raw().setCustomRawProfile(std::string());
    raw().setDestinationFile("/out/kept.tif");
    ASSERT_TRUE(controller->selectSettings(saved));
    controller->reloadWithSelectedHistoryRecord();
    EXPECT_EQ(raw().exposure(), -1.25);
    EXPECT_EQ(raw().destinationFile(), "/out/kept.tif");
    EXPECT_EQ(raw().customRawProfile(), studio);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"profile " + studio, "apply "}));
    ui.detach(*controller);
}

TEST_F(SettingsFiles, PastingImportsSetsTheProfileAndAppliesUnlessAutoApplyIsOff) {
    set_general_pasteboard(nullptr);
    WindowLog ui;
    ui.attach(*controller);
    openFile(acmeFile("a.dng"));
    const std::string mine = (dir / "My Camera.icc").string();
    write_rgb_profile(mine);
    general_pasteboard()->setString("exposure -0.75\ncustomRawProfile " + mine + "\n");
    controller->pasteSettings();
    EXPECT_EQ(raw().exposure(), -0.75);
    EXPECT_EQ(raw().customRawProfile(), mine);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"profile " + mine, "apply "}));

    ui.calls.clear();
    ui.autoApplyOff = true;
    general_pasteboard()->setString("exposure 0.5\ncustomRawProfile Default\n");
    controller->pasteSettings();
    EXPECT_EQ(raw().exposure(), 0.5);
    EXPECT_EQ(ui.calls, std::vector<std::string>{"profile Default"});

    // A paste is all or nothing: with a value no setting can hold nothing is
    // applied (nor developed); values beyond a range are applied as its ends.
    ui.calls.clear();
    ui.autoApplyOff = false;
    general_pasteboard()->setString("exposure 99999\nsaturation nan\n");
    controller->pasteSettings();
    EXPECT_EQ(raw().exposure(), 0.5);
    EXPECT_EQ(raw().saturation(), 0.0);
    EXPECT_TRUE(ui.calls.empty());
    general_pasteboard()->setString("exposure 99999\nlocalContrast 1000000000\n");
    controller->pasteSettings();
    EXPECT_EQ(raw().exposure(), 5.0);
    EXPECT_EQ(raw().localContrast(), 50.0);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"profile Default", "apply "}));
    ui.detach(*controller);
}

TEST_F(SettingsFiles, PresetsAreListedByNameKeepTheirFilesAndAskBeforeOverwriting) {
    WindowLog ui;
    ui.attach(*controller);
    for (const char* f : {"b.dvks", "a10.dvks", "a9.dvks", "notes.txt"}) std::ofstream(presets() / f) << "exposure 1\n";
    std::ofstream(presets() / "x.DVKS") << "exposure 1.75\n";
    openFile(acmeFile("p.dng"));
    controller->createPresetsMenu();
    EXPECT_EQ(titles(), (std::vector<std::string>{kPresetPlaceholderTitle, "a9", "a10", "b", "x", "", "New...",
                                                  "Delete"}));
    const auto& items = controller->presetsMenu().items();
    EXPECT_EQ(items[1].tag, kPresetItemTag);
    EXPECT_EQ(items[5].tag, kPresetSeparatorTag);
    EXPECT_EQ(items[6].tag, kPresetNewTag);
    EXPECT_EQ(items[7].tag, kPresetDeleteTag);

    // Delete with no preset chosen only rebuilds the menu.
    controller->presetSelected(indexOf("Delete"));
    EXPECT_EQ(alerts.count(), 0u);

    // "x" is the file x.DVKS: applied onto the open file by the open road
    // (the profile shown, developed again), and deleted as that file.
    ui.calls.clear();
    controller->presetSelected(indexOf("x"));
    EXPECT_EQ(raw().exposure(), 1.75);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"profile Default", "apply Settings"}));
    EXPECT_EQ(controller->presetsMenu().currentPreset(), indexOf("x"));
    alerts.answer("Yes");
    controller->presetSelected(indexOf("Delete"));
    ASSERT_EQ(alerts.count(), 1u);
    EXPECT_EQ(alerts.requests()[0].text, "Are you sure that you want to delete x from the list?");
    EXPECT_FALSE(fs::exists(presets() / "x.DVKS"));
    EXPECT_EQ(indexOf("x"), 0u);

    controller->presetSelected(indexOf("New..."));
    EXPECT_EQ(ui.calls.back(), "new preset window");

    // A name taken: "Cancel" keeps the window and the file, "Overwrite" writes it.
    raw().setExposure(-2);
    alerts.answer("Cancel");
    EXPECT_FALSE(controller->closePresetWindow("Ok", "a9"));
    EXPECT_EQ(alerts.requests().back().text, "Preset with name \"a9\" already exists");
    EXPECT_EQ(read_file(presets() / "a9.dvks"), "exposure 1\n");
    alerts.answer("Overwrite");
    EXPECT_TRUE(controller->closePresetWindow("Ok", "a9"));
    EXPECT_TRUE(has_line_starting(read_file(presets() / "a9.dvks"), "exposure -2\n"));

    // A preset written "B.DVKS" is overwritten as that file, not as a second one.
    fs::rename(presets() / "b.dvks", presets() / "B.DVKS");
    controller->createPresetsMenu();
    alerts.answer("Overwrite");
    EXPECT_TRUE(controller->closePresetWindow("Ok", "B"));
    EXPECT_TRUE(has_line_starting(read_file(presets() / "B.DVKS"), "exposure -2\n"));
    EXPECT_FALSE(fs::exists(presets() / "B.dvks.dvks"));
    EXPECT_EQ(fs::exists(presets() / "B.dvks"), false);
    ui.detach(*controller);
}

TEST_F(SettingsFiles, APresetHoldsOnlyTheGroupsSwitchedOnAndCancelRestoresTheChoice) {
    openFile(acmeFile("a.dng"));
    controller->settingsSelector().setChecked("Exposure", false);
    ASSERT_TRUE(controller->closePresetWindow("Ok", "no exposure"));
    const std::string text = read_file(presets() / "no exposure.dvks");
    EXPECT_FALSE(has_line_starting(text, "exposure "));
    EXPECT_TRUE(has_line_starting(text, "contrast "));
    EXPECT_EQ(defaults->stringArrayForKey(kDisabledSettingsKey), std::vector<std::string>{"Exposure"});

    controller->settingsSelector().setChecked("Contrast", false);
    EXPECT_TRUE(controller->closePresetWindow("Cancel", ""));
    EXPECT_TRUE(controller->settingsSelector().isChecked("Contrast"));
    EXPECT_FALSE(controller->settingsSelector().isChecked("Exposure"));
    EXPECT_EQ(raw().disabledSettings(), std::vector<std::string>{"exposure"});
}

TEST_F(SettingsFiles, BadPresetNamesAreRefusedWithTheWindowLeftOpenAndNothingWritten) {
    openFile(acmeFile("a.dng"));
    const std::vector<std::string> before = tree(dir.path());
    for (const char* name : {"", "   ", ".", "..", "../x", "a/b", "/tmp/abs", "tab\tname", "line\nend", "\x7f"}) {
        alerts.clear();
        EXPECT_FALSE(controller->closePresetWindow("Ok", name)) << name;
        ASSERT_EQ(alerts.count(), 1u) << name;
        EXPECT_EQ(alerts.requests()[0].title, std::optional<std::string>("Wrong preset name"));
    }
    EXPECT_EQ(tree(dir.path()), before);
    EXPECT_EQ(defaults->stringArrayForKey(kDisabledSettingsKey), std::nullopt);
}

TEST_F(SettingsFiles, FailedWritesAreToldOnceWithTheCountAndTheFirstPath) {
    openFile(acmeFile("a.dng"));
    // A folder where the file goes: no write succeeds there, whoever runs it.
    const std::string beside = raw().makeFullDestinationFileName() + ".dvks";
    fs::create_directories(beside);
    controller->copySettings("Export Settings");
    ASSERT_EQ(alerts.count(), 1u);
    EXPECT_EQ(alerts.requests()[0].text, "Could not write the settings file\n" + beside);

    fs::create_directories(presets() / "p.dvks");
    alerts.clear();
    EXPECT_TRUE(controller->closePresetWindow("Ok", "p"));
    ASSERT_EQ(alerts.count(), 1u);
    EXPECT_NE(alerts.requests()[0].text.find((presets() / "p.dvks").string()), std::string::npos);

    const std::string b = acmeFile("many/b.dng"), c = acmeFile("many/c.dng");
    acmeFile("many/d.dng");
    fs::create_directories(b + ".dvks");
    fs::create_directories(c + ".dvks");
    alerts.clear();
    panels->answerOpen({photos() + "/many"});
    alerts.answer("Continue");
    controller->exportMultipleSettings();
    waitForWork();
    ASSERT_EQ(alerts.count(), 2u);
    EXPECT_EQ(alerts.requests()[1].text, "Could not write 2 settings files, the first:\n" + b + ".dvks");
    EXPECT_TRUE(fs::is_regular_file(photos() + "/many/d.dng.dvks"));
}

TEST_F(SettingsFiles, MultipleExportWritesEachFilesDefaultAndSkipsWhatTheDecoderRefuses) {
    const std::string a = acmeFile("set/a.dng"), b = canonFile("set/b.dng"), c = acmeFile("set/sub/c.dng");
    std::ofstream(photos() + "/set/notes.txt") << "not a raw file";
    openFile(a);
    raw().setExposure(1.5);
    record(photos() + "/set/");  // the folder's default for the Acme camera
    openFile(b);
    raw().setExposure(-0.5);
    record();                    // b's own record
    raw().setExposure(3);        // the open file's settings are not what is exported

    panels->answerOpen({photos() + "/set"});
    alerts.answer("Continue");
    controller->exportMultipleSettings();
    waitForWork();
    ASSERT_EQ(alerts.count(), 1u);
    EXPECT_EQ(alerts.requests()[0].title, std::optional<std::string>("Export settings for multiple files"));
    EXPECT_EQ(alerts.requests()[0].text, "You are about to export settings for 4 selected files");
    EXPECT_TRUE(has_line_starting(read_file(a + ".dvks"), "exposure 1.5\n"));
    EXPECT_TRUE(has_line_starting(read_file(b + ".dvks"), "exposure -0.5\n"));
    EXPECT_TRUE(has_line_starting(read_file(c + ".dvks"), "exposure 1.5\n"));  // the folder above serves
    EXPECT_TRUE(has_line_starting(read_file(c + ".dvks"), "destinationFile \n"));
    EXPECT_FALSE(fs::exists(photos() + "/set/notes.txt.dvks"));
    EXPECT_EQ(raw().exposure(), 3);
    EXPECT_EQ(raw().progress(), 0);

    // Cancel at the question: nothing written.
    fs::remove(a + ".dvks");
    panels->answerOpen({photos() + "/set"});
    alerts.answer("Cancel");
    controller->exportMultipleSettings();
    waitForWork();
    EXPECT_FALSE(fs::exists(a + ".dvks"));
}

TEST_F(SettingsFiles, MultipleImportMakesRecordsAsTheSettingsFilesSay) {
    const std::string a = acmeFile("in/a.dng"), b = canonFile("in/b.dng"), c = acmeFile("in/c.dng");
    acmeFile("in/none.dng");  // no settings file
    std::ofstream(photos() + "/in/notes.txt") << "x";
    std::ofstream(photos() + "/in/notes.txt.dvks") << "exposure 1\n";
    std::ofstream(a + ".dvks") << "customRawProfile Default\nexposure 0.7\nuseCameraWB 3\n";
    std::ofstream(b + ".dvks") << "customRawProfile MyCam.icc\ndestinationFile /out/b.tif\nexposure -1\n";
    std::ofstream(c + ".dvks") << "exposure 2\nnoSuchSetting 1\n";

    panels->answerOpen({photos() + "/in"});
    alerts.answer("Continue");
    controller->importMultipleSettings();
    waitForWork();
    EXPECT_EQ(alerts.requests()[0].text, "You are about to import settings for 9 selected files");

    const std::vector<HistoryMO> ra = recordsWithSource(a), rb = recordsWithSource(b);
    ASSERT_EQ(ra.size(), 1u);
    ASSERT_EQ(rb.size(), 1u);
    EXPECT_TRUE(recordsWithSource(c).empty());
    EXPECT_TRUE(recordsWithSource(photos() + "/in/notes.txt").empty());
    EXPECT_TRUE(recordsWithSource(photos() + "/in/none.dng").empty());

    EXPECT_EQ(ra[0].comment(), "Imported\n");
    EXPECT_TRUE(ra[0].valueForKey("customRawProfile").is_null());
    EXPECT_EQ(ra[0].valueForKey("reservedString1").description(), "3");
    EXPECT_EQ(ra[0].valueForKey("exposure").double_value(), 0.7);
    EXPECT_EQ(ra[0].camera(), "Acme Fixture 1");

    EXPECT_EQ(rb[0].comment(), "Imported\nOriginal destination: /out/b.tif\n");
    EXPECT_EQ(rb[0].destinationFile(), "");
    EXPECT_EQ(rb[0].valueForKey("customRawProfile").description(), (dir / "support/Profiles/MyCam.icc").string());
    // b's file names no white-balance mode: the record keeps the reset one.
    RawProcessor reset;
    reset.resetToDefaults(false);
    EXPECT_EQ(rb[0].valueForKey("reservedString1").description(), std::to_string(reset.useCameraWB()));
    EXPECT_EQ(rb[0].valueForKey("exposure").double_value(), -1);
}

// A profile kept outside the Profiles folder travels by its full path, one
// inside by its name there; either way the imported records name the file
// the exported settings did. A destination in the file is only a comment.
TEST_F(SettingsFiles, ExportAndImportForManyFilesKeepWhereEachProfileIs) {
    const std::string a = acmeFile("rt/a.dng"), b = acmeFile("rt/sub/b.dng");
    const std::string outside = (dir / "elsewhere" / "t2.icc").string();
    const std::string inside = (dir / "support" / "Profiles" / "sub" / "mine.icc").string();
    for (const std::string& p : {outside, inside}) write_rgb_profile(p);
    openFile(a);
    raw().setCustomRawProfile(outside);
    record();
    openFile(b);
    raw().setCustomRawProfile(inside);
    record();

    panels->answerOpen({photos() + "/rt"});
    alerts.answer("Continue");
    controller->exportMultipleSettings();
    waitForWork();
    EXPECT_TRUE(has_line_starting(read_file(a + ".dvks"), "customRawProfile " + outside + "\n"));
    EXPECT_TRUE(has_line_starting(read_file(b + ".dvks"), "customRawProfile sub/mine.icc\n"));
    std::ofstream(a + ".dvks", std::ios::app) << "destinationFile ../other/precious.tiff\n";

    panels->answerOpen({photos() + "/rt"});
    alerts.answer("Continue");
    controller->importMultipleSettings();
    waitForWork();
    const HistoryMO ra = recordsWithSource(a).front(), rb = recordsWithSource(b).front();
    EXPECT_EQ(ra.comment(), "Imported\nOriginal destination: ../other/precious.tiff\n");
    EXPECT_EQ(ra.destinationFile(), "");
    EXPECT_EQ(ra.valueForKey("customRawProfile").description(), outside);
    EXPECT_EQ(rb.comment(), "Imported\n");
    EXPECT_EQ(rb.valueForKey("customRawProfile").description(), inside);
}

// A defaults file that cannot be read is set aside before any window, and
// said once the launch runs.
TEST_F(SettingsFiles, AnUnreadableDefaultsFileIsToldAtLaunch) {
    fs::create_directories(fs::path(defaults->path()).parent_path());
    std::ofstream(defaults->path()) << deep_xml_plist(200000);
    defaults->reload();
    alerts.clear();
    controller = std::make_unique<Controller>(options());
    controller->launch();
    ASSERT_EQ(alerts.count(), 1u);
    EXPECT_EQ(alerts.requests()[0].title, std::optional<std::string>("Defaults file set aside"));
    EXPECT_NE(alerts.requests()[0].text.find("nested too deeply"), std::string::npos) << alerts.requests()[0].text;
    EXPECT_FALSE(fs::exists(defaults->path()) && fs::file_size(defaults->path()) > 1000000);
    controller = std::make_unique<Controller>(options());
    controller->launch();
    EXPECT_EQ(alerts.count(), 1u);
}

}  // namespace
}  // namespace dvk::test
