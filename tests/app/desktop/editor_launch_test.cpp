#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <plist/plist.h>
#include <sys/stat.h>
#include <thread>

#include "app/batch/batch_export.h"
#include "app/desktop/editor_launch.h"
#include "platform/process_runner.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

struct Alert {
    std::string title, text;
    std::vector<std::string> buttons;
};
// Answers each alert with the button of `answer` (or the first) and keeps it.
struct ScriptedAlerts {
    explicit ScriptedAlerts(std::string a = "") : answer(std::move(a)) {}
    std::string answer;
    std::vector<Alert> shown;
    AlertFunction function() {
        return [this](const std::string& t, const std::string& x, const std::vector<std::string>& b) {
            shown.push_back({t, x, b});
            for (std::size_t i = 0; i < b.size(); ++i)
                if (b[i] == answer) return kAlertFirstButton + int(i);
            return kAlertFirstButton;
        };
    }
};

// An editor that writes its arguments and the DVK variables to record.txt
// beside itself, then exits.
class EditorScript : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string script = (dir / "edit tool.sh").string();
    fs::path record = dir / "record.txt";
    PosixProcessRunner runner;

    void SetUp() override {
        std::ofstream(script) << "#!/bin/sh\n"
                                 "out=\"$(dirname \"$0\")/record.txt\"\n"
                                 "{ for a in \"$@\"; do printf 'arg %s\\n' \"$a\"; done\n"
                                 "  for v in DVK_INFILE DVK_OUTFILE DVK_CAMERA DVK_BATCHRESFILE; do\n"
                                 "    eval \"printf '%s %s\\n' $v \\\"\\${$v-(unset)}\\\"\"; done\n"
                                 "} > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n";
        fs::permissions(script, fs::perms(0755));
    }
    // The editor's record, once it has written it (the launch does not wait).
    std::string awaitRecord() {
        for (int i = 0; i < 500 && !fs::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(record);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        fs::remove(record);
        return text;
    }
    std::string desktopEntry(const std::string& exec) {
        const std::string path = (dir / "editor.desktop").string();
        std::ofstream(path) << "[Desktop Entry]\nType=Application\nName=Editor\nExec=" << exec << "\n";
        return path;
    }
    std::string savedList(const std::vector<std::string>& paths) {
        plist_t a = plist_new_array();
        for (const auto& p : paths) plist_array_append_item(a, plist_new_string(p.c_str()));
        char* xml = nullptr;
        uint32_t n = 0;
        plist_to_xml(a, &xml, &n);
        const std::string path = (dir / "DVKBatchSaved_dvk.xml").string();
        std::ofstream(path).write(xml, n);
        plist_to_xml_free(xml);
        plist_free(a);
        return path;
    }
    std::string touch(const std::string& name) {
        const std::string p = (dir / name).string();
        std::ofstream(p) << "x";
        return p;
    }
};

TEST_F(EditorScript, AfterSaveLaunchGivesTheFileAndItsVariablesToTheEditorOnly) {
    const std::string out = touch("out put.tif");
    auto result = launchEditorOnSavedFile(runner, script, {"/raw/IMG 1.CR2", out, "Canon EOS 550D"});
    ASSERT_TRUE(result.started) << result.error;
    EXPECT_EQ(awaitRecord(), "arg " + out + "\nDVK_INFILE /raw/IMG 1.CR2\nDVK_OUTFILE " + out +
                                 "\nDVK_CAMERA Canon EOS 550D\nDVK_BATCHRESFILE (unset)\n");
    EXPECT_EQ(std::getenv("DVK_OUTFILE"), nullptr);

    // Through a link to a desktop entry (an alias of this platform).
    const std::string entry = desktopEntry("\"" + script + "\" --open %f");
    fs::create_symlink(entry, dir / "alias.desktop");
    result = launchEditorOnSavedFile(runner, (dir / "alias.desktop").string(), {"/raw/a.NEF", out, "Nikon D3"});
    ASSERT_TRUE(result.started) << result.error;
    EXPECT_EQ(awaitRecord(), "arg --open\narg " + out + "\nDVK_INFILE /raw/a.NEF\nDVK_OUTFILE " + out +
                                 "\nDVK_CAMERA Nikon D3\nDVK_BATCHRESFILE (unset)\n");

    EXPECT_FALSE(launchEditorOnSavedFile(runner, (dir / "nothing").string(), {"", out, ""}).started);
    EXPECT_FALSE(launchEditorOnSavedFile(runner, desktopEntry("/no/such/editor %F"), {"", out, ""}).started);
}

TEST_F(EditorScript, BatchResultsToADesktopEntryAndToAnExecutable) {
    const std::string a = touch("a.tif"), b = touch("b c.jpg");
    const std::string list = savedList({a, (dir / "deleted.tif").string(), b});
    const std::vector<std::string> editors = {"/usr/bin/unused", desktopEntry("\"" + script + "\" %F"), script};

    // The entry gets the files that still exist, in order, after the warning.
    ScriptedAlerts alerts{"Continue"};
    EXPECT_EQ(exportBatchSavedToApp(editors, 2, list, alerts.function(), runner), BatchExportResult::Launched);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, "Warning");
    EXPECT_EQ(alerts.shown[0].text, "You are about to open 2 files saved with last batch in editor at once");
    EXPECT_EQ(alerts.shown[0].buttons, (std::vector<std::string>{"Continue", "Cancel"}));
    EXPECT_EQ(awaitRecord(), "arg " + a + "\narg " + b +
                                 "\nDVK_INFILE (unset)\nDVK_OUTFILE (unset)\nDVK_CAMERA (unset)\nDVK_BATCHRESFILE " +
                                 list + "\n");

    // An executable only gets the variable, without a question.
    alerts.shown.clear();
    EXPECT_EQ(exportBatchSavedToApp(editors, 3, list, alerts.function(), runner), BatchExportResult::Launched);
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_EQ(awaitRecord(), "DVK_INFILE (unset)\nDVK_OUTFILE (unset)\nDVK_CAMERA (unset)\nDVK_BATCHRESFILE " + list + "\n");
    EXPECT_EQ(std::getenv("DVK_BATCHRESFILE"), nullptr);

    // Cancel starts nothing.
    ScriptedAlerts cancel{"Cancel"};
    EXPECT_EQ(exportBatchSavedToApp(editors, 2, list, cancel.function(), runner), BatchExportResult::Cancelled);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(record));
}

TEST_F(EditorScript, BatchResultsThatCannotBeOpened) {
    ScriptedProcessRunner scripted;
    const std::string entry = desktopEntry("\"" + script + "\" %F");
    auto only = [](const ScriptedAlerts& a) {
        EXPECT_EQ(a.shown.size(), 1u);
        return a.shown.empty() ? Alert{} : a.shown[0];
    };
    {  // No editor chosen: nothing, not even a question.
        ScriptedAlerts alerts;
        EXPECT_EQ(exportBatchSavedToApp({entry}, 0, "/nowhere", alerts.function(), scripted), BatchExportResult::NoEditor);
        EXPECT_EQ(exportBatchSavedToApp({entry}, 2, "/nowhere", alerts.function(), scripted), BatchExportResult::NoEditor);
        EXPECT_TRUE(alerts.shown.empty());
    }
    {  // No list.
        ScriptedAlerts alerts;
        EXPECT_EQ(exportBatchSavedToApp({entry}, 1, (dir / "none.xml").string(), alerts.function(), scripted),
                  BatchExportResult::NoList);
        EXPECT_EQ(only(alerts).text, "There is no results from last batch available");
        EXPECT_EQ(only(alerts).buttons, std::vector<std::string>{"Cancel"});
    }
    {  // Every result deleted since.
        ScriptedAlerts alerts;
        EXPECT_EQ(exportBatchSavedToApp({entry}, 1, savedList({(dir / "gone.tif").string()}), alerts.function(), scripted),
                  BatchExportResult::NoFilesLeft);
        EXPECT_EQ(only(alerts).text, "There is no results from last batch found");
    }
    const std::string list = savedList({touch("kept.tif")});
    {  // Not executable.
        ScriptedAlerts alerts;
        const std::string plain = touch("notes.txt");
        EXPECT_EQ(exportBatchSavedToApp({plain}, 1, list, alerts.function(), scripted), BatchExportResult::NotExecutable);
        EXPECT_EQ(only(alerts).text, "Can't execute " + plain + ". Make sure that the application is available and working");
    }
    {  // An entry whose program is missing; an executable that cannot start.
        ScriptedAlerts alerts{"Continue"};
        const std::string broken = desktopEntry("/no/such/editor %F");
        EXPECT_EQ(exportBatchSavedToApp({broken}, 1, list, alerts.function(), runner), BatchExportResult::LaunchFailed);
        ASSERT_EQ(alerts.shown.size(), 2u);
        EXPECT_EQ(alerts.shown[1].text, "Can't launch " + broken +
                                            ". Try again if you deleted some batch results, otherwise make sure that "
                                            "the application is available and working.");
        const std::string badInterpreter = (dir / "bad.sh").string();
        std::ofstream(badInterpreter) << "#!/no/such/shell\n";
        fs::permissions(badInterpreter, fs::perms(0755));
        alerts.shown.clear();
        EXPECT_EQ(exportBatchSavedToApp({badInterpreter}, 1, list, alerts.function(), runner),
                  BatchExportResult::LaunchFailed);
        EXPECT_EQ(only(alerts).text, "Execution of " + badInterpreter + " failed.");
    }
    EXPECT_TRUE(scripted.requests().empty());
}

TEST(EditorNames, TitleIsTheFileNameWithoutExtension) {
    EXPECT_EQ(editorItemTitle("/usr/share/applications/gimp.desktop"), "Open in gimp");
    EXPECT_EQ(editorItemTitle("/usr/bin/darktable"), "Open in darktable");
    EXPECT_EQ(editorItemTitle("/opt/My Editor.v2.desktop"), "Open in My Editor.v2");
    EXPECT_EQ(editorName("/home/u/.hidden"), ".hidden");
}

}  // namespace
}  // namespace dvk
