// DVK_DEV_ACTIONS on the whole program: the plug-in installed, an unknown name
// skipped, the diagnostics archive packed and reported, then the quit, each
// action after the previous one's work and child processes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/history/history_store.h"
#include "tests/support/run_command.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

TEST(DevActionsProcess, InstallsThePluginPacksTheDiagnosticsAndQuitsInOrder) {
    TempDir home;
    const fs::path data = home.path() / "data";
    const std::string line =
        "env -u DVK_NO_REDIRECT -u XDG_DESKTOP_DIR HOME=" + shell_quoted(home.path().string()) +
        " XDG_DATA_HOME=" + shell_quoted(data.string()) +
        " XDG_CONFIG_HOME=" + shell_quoted((home.path() / "config").string()) +
        " QT_QPA_PLATFORM=offscreen DVK_DEV_ALERTS=first"
        " DVK_DEV_ACTIONS='installLR2Plugin: nothing: archiveCrashLogs: terminate:' timeout 120 " +
        shell_quoted(std::string(DVK_BINARY_DIR) + "/bin/dvk") + " 2>/dev/null";
    const CommandRun run = run_command(line);
    ASSERT_EQ(run.status, 0);

    std::ifstream in(data / "DVK" / "DVK.log");
    const std::string log(std::istreambuf_iterator<char>(in), {});
    const fs::path archive = home.path() / "Desktop" / "DVKDiagnostics.zip";
    const std::vector<std::string> inOrder = {
        "Alert Plugin Installation Plugin is successfully installed.",
        "DVK_DEV_ACTIONS: no action \"nothing:\"",
        "Alert Diagnostics The logs, preferences and crash reports are packed in " + archive.string() + ".",
        "DVK_DEV_ACTIONS: terminate:",
        "DVK quit"};
    std::size_t at = 0;
    for (const std::string& s : inOrder) {
        const std::size_t found = log.find(s, at);
        ASSERT_NE(found, std::string::npos) << "\"" << s << "\" after offset " << at << " in\n" << log;
        at = found + s.size();
    }
    const fs::path plugin = data / "Adobe" / "Lightroom" / "Modules" / "DVK_LR2.lrplugin";
    for (const char* chunk : {"Info.lua", "DVKOpenServiceProvider.lua", "DVKOpenTask.lua"})
        EXPECT_TRUE(fs::is_regular_file(plugin / chunk)) << chunk;
    const CommandRun list = run_command("unzip -l " + shell_quoted(archive.string()));
    ASSERT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("data/DVK/DVK.log"), std::string::npos) << list.out;
}

// Every item of the History menu and every button of the history window is
// reached by its action's name; the ones that record leave their records.
TEST(DevActionsProcess, WalksTheHistoryMenuAndTheHistoryWindowsButtons) {
    TempDir home;
    const fs::path data = home.path() / "data";
    const fs::path photos = home.path() / "photos";
    fs::create_directories(photos);
    fs::copy_file(testdata_dir() / "raw" / "colorchart.dng", photos / "x.dng");
    // Alerts take their first button, panels are cancelled.
    const std::vector<std::string> names = {"showHistory:",
                                            "addToHistory:",
                                            "addToHistoryAndSetDirectoryDefault:",
                                            "reloadWithSelectedHistoryRecord:",
                                            "removeFromHistory:",
                                            "addToHistoryForMany:",
                                            "setDirectoryDefault",
                                            "setGlobalCameraDefault",
                                            "clearDestinationFile:",
                                            "renameSource:",
                                            "showAll",
                                            "runBatchWithSelection:",
                                            "cleanHistory:",
                                            "terminate:"};
    std::string actions;
    for (const std::string& n : names) actions += n + " ";
    const std::string line =
        "env -u DVK_NO_REDIRECT HOME=" + shell_quoted(home.path().string()) +
        " XDG_DATA_HOME=" + shell_quoted(data.string()) +
        " XDG_CONFIG_HOME=" + shell_quoted((home.path() / "config").string()) +
        " QT_QPA_PLATFORM=offscreen DVK_DEV_ALERTS=first DVK_DEV_ACTIONS=" + shell_quoted(actions) +
        " timeout 120 " + shell_quoted(std::string(DVK_BINARY_DIR) + "/bin/dvk") + " " +
        shell_quoted((photos / "x.dng").string()) + " 2>/dev/null";
    const CommandRun run = run_command(line);
    ASSERT_EQ(run.status, 0);

    std::ifstream in(data / "DVK" / "DVK.log");
    const std::string log(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(log.find("DVK_DEV_ACTIONS: no action"), std::string::npos) << log;
    std::size_t at = 0;
    for (const std::string& n : names) {
        const std::size_t found = log.find("DVK_DEV_ACTIONS: " + n + "\n", at);
        ASSERT_NE(found, std::string::npos) << n << " after offset " << at << " in\n" << log;
        at = found;
    }
    // The removal asked first, and was cancelled.
    EXPECT_NE(log.find("Alert  Are you sure you want to remove selected records from history? (Cancel, Remove) 1000"),
              std::string::npos)
        << log;

    HistoryStore store((data / "DVK" / "DVK2.db").string());
    std::vector<std::string> sources;
    for (const HistoryMO& r : store.fetchAll()) sources.push_back(r.sourceFile());
    const std::string file = (photos / "x.dng").string();
    // Add's record; the folder default the menu made from it, which the
    // window's buttons moved a folder up and then made the camera's default.
    EXPECT_EQ(sources, (std::vector<std::string>{"/", file})) << log;
}

}  // namespace
}  // namespace dvk::test
