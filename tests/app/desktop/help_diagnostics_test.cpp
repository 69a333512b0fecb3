#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "app/desktop/diagnostics.h"
#include "app/desktop/help.h"
#include "platform/dispatch.h"
#include "platform/process_runner.h"
#include "platform/url_opener.h"
#include "tests/support/run_command.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

TEST(Help, FeedbackAndManualThroughTheOpener) {
    RecordingUrlOpener opener;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(feedback(opener, ""));
    EXPECT_TRUE(feedback(opener, "bugs@dvk.example"));
    RecordingUrlOpener refusing(false);
    EXPECT_FALSE(feedback(refusing, ""));
    // With an alert, a refused mail says where to write.
    std::vector<std::string> told;
    const AlertFunction alert = [&](const std::string& title, const std::string& text,
                                    const std::vector<std::string>&) {
        told.push_back(title + ": " + text);
        return kAlertFirstButton;
    };
    EXPECT_FALSE(feedback(refusing, "bugs@dvk.example", alert));
    EXPECT_EQ(told, (std::vector<std::string>{"Feedback: No mail program could be started. Please write to "
                                              "bugs@dvk.example with the subject \"DVK Feedback\"."}));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Feedback 1\nFeedback 1\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Feedback 0\n"), std::string::npos) << log;

    EXPECT_FALSE(openManual(opener, "Manual...", "/m.pdf"));
    EXPECT_TRUE(openManual(opener, "Manual"));
    EXPECT_EQ(opener.urls(), (std::vector<std::string>{"mailto:?subject=DVK%20Feedback",
                                                       "mailto:bugs@dvk.example?subject=DVK%20Feedback",
                                                       "file://" + std::string(DVK_BINARY_DIR) +
                                                           "/bin/resources/DVK%20User%20Manual.pdf"}));
}

// xdg-open that starts but fails (exit 3, "no method available": a fresh
// system) is a failure too: the manual's place and the feedback address are
// said then, as when no opener starts at all.
TEST(Help, TheDesktopOpenersExitStatusSaysWhetherItOpened) {
    auto runner = std::make_shared<ScriptedProcessRunner>([](const ProcessRequest& r) {
        ProcessResult result;
        if (r.program == "/nonexistent/xdg-open") {
            result.start_error = "could not start: /nonexistent/xdg-open: No such file or directory";
            return result;
        }
        result.outcome = ProcessOutcome::Exited;
        const bool known = r.arguments.at(0).rfind("mailto:", 0) == 0;
        result.exit_status = known ? 0 : 3;
        if (!known) result.output = "xdg-open: no method available for opening '" + r.arguments[0] + "'\n";
        return result;
    });
    ScopedProcessRunner scope(runner);
    std::vector<std::string> told;
    const AlertFunction alert = [&](const std::string& title, const std::string& text,
                                    const std::vector<std::string>&) {
        told.push_back(title + ": " + text);
        return kAlertFirstButton;
    };
    XdgUrlOpener xdg;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(openManual(xdg, "Manual", "/m/DVK User Manual.pdf", alert));  // handed over, then failed
    EXPECT_TRUE(feedback(xdg, "bugs@dvk.example", alert));
    XdgUrlOpener missing("/nonexistent/xdg-open");
    EXPECT_FALSE(feedback(missing, "bugs@dvk.example", alert));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(told, (std::vector<std::string>{
                        "Manual: No program to show the manual could be started. The manual is the PDF file "
                        "/m/DVK User Manual.pdf.",
                        "Feedback: No mail program could be started. Please write to bugs@dvk.example with the "
                        "subject \"DVK Feedback\"."}));
    const std::vector<ProcessRequest> requests = runner->requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].program, "xdg-open");
    EXPECT_EQ(requests[0].arguments, std::vector<std::string>{"file:///m/DVK%20User%20Manual.pdf"});
    EXPECT_EQ(requests[0].time_limit.count(), 0);  // never killed with the viewer it may wait for
    EXPECT_NE(log.find("xdg-open file:///m/DVK%20User%20Manual.pdf: exit status 3: xdg-open: no method available"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Feedback 1\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Feedback 0\n"), std::string::npos) << log;
}

TEST(Help, TheManualIsATypesetPdf) {
    std::ifstream in(manualPath(), std::ios::binary);
    ASSERT_TRUE(in) << manualPath();
    std::stringstream all;
    all << in.rdbuf();
    const std::string pdf = all.str();
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
    int pages = 0;
    for (std::size_t at = pdf.find("/Type /Page\n"); at != std::string::npos; at = pdf.find("/Type /Page\n", at + 1)) ++pages;
    EXPECT_GE(pages, 3);
    std::string title = "/Title (\xfe\xff";  // the document title, in UTF-16
    for (char c : std::string("DVK User Manual")) title += std::string(1, '\0') + c;
    EXPECT_NE(pdf.find(title + ")"), std::string::npos);
}

struct EnvGuard {
    std::string name, old;
    bool had;
    EnvGuard(const char* n, const std::string& value) : name(n) {
        const char* o = std::getenv(n);
        had = o != nullptr;
        if (o) old = o;
        setenv(n, value.c_str(), 1);
    }
    ~EnvGuard() {
        if (had)
            setenv(name.c_str(), old.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};

class Diagnostics : public ::testing::Test {
protected:
    test::TempDir dir;
    fs::path home = dir / "home";
    DiagnosticsPaths paths{(home / "Desktop").string(), home.string(), (dir / "support").string(),
                           (dir / "config/DVK/defaults.plist").string(), (dir / "crash").string()};
    PosixProcessRunner runner;

    void write(const fs::path& p, const std::string& text) {
        fs::create_directories(p.parent_path());
        std::ofstream(p) << text;
    }
    void SetUp() override {
        fs::create_directories(home);
        write(dir / "support/DVK.log", "log");
        write(dir / "config/DVK/defaults.plist", "<plist/>");
        write(dir / "crash/_usr_bin_dvk.1000.crash", "a");
        write(dir / "crash/other.crash", "b");
        write(dir / "crash/Reports/DraVik 2.ips", "c");
        write(dir / "crash/dvk folder/core", "d");
        fs::create_symlink(dir / "crash/other.crash", dir / "crash/dvk-link.crash");
    }
    DiagnosticsOutcome runArchive() {
        std::promise<DiagnosticsOutcome> result;
        auto future = result.get_future();
        archiveCrashLogs(paths, runner, [&](const DiagnosticsOutcome& o) { result.set_value(o); });
        EXPECT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        return future.get();
    }
    // The names unzip lists, in archive order.
    std::vector<std::string> entries(const std::string& archive) {
        auto run = test::run_command("unzip -Z1 " + test::shell_quoted(archive));
        std::vector<std::string> names;
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);) names.push_back(line);
        return names;
    }
    std::string rel(const fs::path& p) { return p.string().substr(1); }  // zip drops the leading "/"
    std::vector<std::string> leftovers(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename().string().rfind(".DVKDiagnostics", 0) == 0) names.push_back(e.path().filename());
        return names;
    }
};

TEST_F(Diagnostics, FreshArchiveOverAStaleOneWithTheDesktopMade) {
    EXPECT_EQ(crashReports(paths.crashFolder),
              (std::vector<std::string>{(dir / "crash/Reports/DraVik 2.ips").string(),
                                        (dir / "crash/_usr_bin_dvk.1000.crash").string(),
                                        (dir / "crash/dvk folder/core").string()}));
    ASSERT_FALSE(fs::exists(home / "Desktop"));
    DiagnosticsOutcome o = runArchive();
    ASSERT_TRUE(o.written) << o.reason;
    EXPECT_EQ(o.archive, (home / "Desktop/DVKDiagnostics.zip").string());
    const std::vector<std::string> expected = {rel(dir / "support/DVK.log"), rel(dir / "config/DVK/defaults.plist"),
                                               rel(dir / "crash/Reports/DraVik 2.ips"),
                                               rel(dir / "crash/_usr_bin_dvk.1000.crash"),
                                               rel(dir / "crash/dvk folder/core")};
    EXPECT_EQ(entries(o.archive), expected);

    // A stale archive of another run is replaced, not added to.
    write(dir / "stale.txt", "stale");
    ASSERT_EQ(test::run_command("cd " + test::shell_quoted(dir.path().string()) + " && zip -q stale.zip stale.txt").status, 0);
    fs::rename(dir / "stale.zip", o.archive);
    ASSERT_EQ(entries(o.archive), std::vector<std::string>{"stale.txt"});
    o = runArchive();
    ASSERT_TRUE(o.written) << o.reason;
    EXPECT_EQ(entries(o.archive), expected);

    // Files gone since are gone from the archive; a new log is in it.
    write(dir / "support/DVK_old.log", "old");
    fs::remove(dir / "crash/other.crash");
    fs::remove(dir / "crash/dvk folder/core");
    o = runArchive();
    ASSERT_TRUE(o.written) << o.reason;
    EXPECT_EQ(entries(o.archive),
              (std::vector<std::string>{rel(dir / "support/DVK.log"), rel(dir / "support/DVK_old.log"),
                                        rel(dir / "config/DVK/defaults.plist"), rel(dir / "crash/Reports/DraVik 2.ips"),
                                        rel(dir / "crash/_usr_bin_dvk.1000.crash")}));
    EXPECT_TRUE(leftovers(home / "Desktop").empty());
}

TEST_F(Diagnostics, FailuresAreToldWithTheirReason) {
    // The archive's name taken by a folder: zip works, the result cannot go in place.
    fs::create_directories(home / "Desktop/DVKDiagnostics.zip/inside");
    DiagnosticsOutcome o = runArchive();
    EXPECT_FALSE(o.written);
    EXPECT_EQ(o.archive, (home / "Desktop/DVKDiagnostics.zip").string());
    EXPECT_EQ(o.reason.rfind("cannot put it in place", 0), 0u) << o.reason;
    EXPECT_TRUE(leftovers(home / "Desktop").empty());

    // No desktop can be made: the home folder takes the archive.
    fs::remove_all(home / "Desktop");
    write(home / "Desktop", "a file");
    o = runArchive();
    EXPECT_TRUE(o.written) << o.reason;
    EXPECT_EQ(o.archive, (home / "DVKDiagnostics.zip").string());

    // Nothing to pack.
    DiagnosticsPaths empty = paths;
    empty.supportFolder = empty.preferencesFile = empty.crashFolder = (dir / "nothing").string();
    bool told = false;
    EXPECT_FALSE(archiveCrashLogs(empty, runner, [&](const DiagnosticsOutcome& r) {
        told = true;
        EXPECT_EQ(r.reason, "no log, preferences or crash report was found");
    }));
    EXPECT_TRUE(told);

    // zip failing: its status and last line.
    ScriptedProcessRunner failing([](const ProcessRequest& r) {
        EXPECT_EQ(r.program, "/usr/bin/zip");
        ProcessResult result;
        result.outcome = ProcessOutcome::Exited;
        result.exit_status = 15;
        result.output = "zip I/O error: No space left on device\nzip error: Output file write failure\n";
        return result;
    });
    std::string reason;
    archiveCrashLogs(paths, failing, [&](const DiagnosticsOutcome& r) { reason = r.reason; });
    EXPECT_EQ(reason, "zip exit status 15: zip error: Output file write failure");
}

TEST_F(Diagnostics, DesktopFolderAndTheReportOnTheMainQueue) {
    EnvGuard h("HOME", home.string());
    EnvGuard c("XDG_CONFIG_HOME", (dir / "xdg").string());
    EXPECT_EQ(desktopFolder(), (home / "Desktop").string());
    write(dir / "xdg/user-dirs.dirs", "# made by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(desktopFolder(), (home / "Schreibtisch").string());

    markMainThread();
    ManualMainQueue queue;
    setMainExecutor(queue.executor());
    std::vector<std::string> shown;
    DiagnosticsDone report = reportDiagnosticsWithAlert(
        [&](const std::string& t, const std::string& x, const std::vector<std::string>& b) {
            shown.push_back(t + "|" + x + "|" + b.front());
            return kAlertFirstButton;
        });
    std::thread watcher([&] {
        report({true, "/h/DVKDiagnostics.zip", ""});
        report({false, "/h/DVKDiagnostics.zip", "zip exit status 12"});
    });
    watcher.join();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(queue.drain(), 2);
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "Diagnostics|The logs, preferences and crash reports are packed in /h/DVKDiagnostics.zip.|Ok",
                         "Diagnostics|Can't create the diagnostics archive /h/DVKDiagnostics.zip: zip exit status 12|Ok"}));
    setMainExecutor({});
}

}  // namespace
}  // namespace dvk
