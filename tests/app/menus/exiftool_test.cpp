#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "app/desktop/exiftool.h"
#include "app/desktop/tag_copy_threads.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/process_runner.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// Runs a stand-in in place of exiftool for a scope.
class ToolGuard {
public:
    explicit ToolGuard(const std::string& path) { setExiftoolProgram(path); }
    ~ToolGuard() { setExiftoolProgram(""); }
    ToolGuard(const ToolGuard&) = delete;
    ToolGuard& operator=(const ToolGuard&) = delete;
};

// A stand-in exiftool: a shell script run in place of the real one.
fs::path fake_tool(const test::TempDir& dir, const std::string& name, const std::string& body) {
    const fs::path path = dir / name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

// The real runner, with every request kept.
class RecordingRunner final : public ProcessRunner {
public:
    ProcessResult run(const ProcessRequest& request) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
        }
        return real_.run(request);
    }
    DetachedStart start_detached(const ProcessRequest& request, ProcessExitHandler on_exit) override {
        return real_.start_detached(request, std::move(on_exit));
    }
    std::vector<ProcessRequest> requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    PosixProcessRunner real_;
    std::mutex mutex_;
    std::vector<ProcessRequest> requests_;
};

TEST(ExifToolArguments, InfoAndCopyLists) {
    EXPECT_EQ(exifInfoArguments("/r/a.NEF"),
              (Args{"-DateTimeOriginal", "-ISO", "-Aperture", "-ShutterSpeed", "-FocalLength", "-Lens", "-FlashOn",
                    "-FlashType", "-Make", "-Model", "-ImageSize", "-ExposureCompensation", "-DriveMode",
                    "-ShootingMode", "-All", "-S", "/r/a.NEF"}));

    test::TempDir dir;
    const std::string raw = (dir / "a.CR2").string(), out = (dir / "a.tif").string();
    Args args = tagCopyArguments({raw, out, "Canon"});
    ASSERT_EQ(args.size(), 43u);
    EXPECT_EQ(Args(args.begin(), args.begin() + 3), (Args{"-v", "-TagsFromFile", raw}));
    EXPECT_EQ(Args(args.begin() + 8, args.begin() + 13),
              (Args{"-DateTimeOriginal>exif:DateTimeOriginal", "-iso>exif:iso", "-makernotes", "-make",
                    "-aperture>exif:aperturevalue"}));
    EXPECT_EQ(Args(args.end() - 2, args.end()), (Args{"-overwrite_original", out}));

    // Phase One in any case: the make written as "PhaseOne", no maker notes.
    args = tagCopyArguments({raw, out, "phase one A/S"});
    ASSERT_EQ(args.size(), 42u);
    EXPECT_EQ(args[10], "-make=PhaseOne");
    EXPECT_EQ(args[11], "-aperture>exif:aperturevalue");
    EXPECT_EQ(std::count(args.begin(), args.end(), "-makernotes"), 0);

    // A sidecar beside the raw file is copied first.
    std::ofstream(dir / "a.xmp") << "<x/>";
    args = tagCopyArguments({raw, out, "Canon"});
    EXPECT_EQ(Args(args.begin(), args.begin() + 7), (Args{"-v", "-TagsFromFile", (dir / "a.xmp").string(),
                                                          "--Orientation", "--File:all", "-TagsFromFile", raw}));
    EXPECT_EQ(args.size(), 47u);

    // Names beginning with "-" are never options: every file is absolute.
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    std::ofstream("-b.xmp") << "<x/>";
    const Args info = exifInfoArguments("-b.CRW");
    args = tagCopyArguments({"-b.CRW", "-b.tif", "Canon"});
    const Args holders = fileHoldersArguments("-b.tif");
    fs::current_path(cwd);
    const std::string here = fs::path(dir.path()).string();
    EXPECT_EQ(info.back(), here + "/-b.CRW");
    EXPECT_EQ(Args(args.begin(), args.begin() + 7), (Args{"-v", "-TagsFromFile", here + "/-b.xmp", "--Orientation",
                                                          "--File:all", "-TagsFromFile", here + "/-b.CRW"}));
    EXPECT_EQ(args.back(), here + "/-b.tif");
    EXPECT_EQ(holders, Args{here + "/-b.tif"});

    EXPECT_EQ(sidecarPathFor("/p/x.y/IMG_1.NEF"), "/p/x.y/IMG_1.xmp");
    EXPECT_EQ(sidecarPathFor("/p/x.y/IMG_1"), "/p/x.y/IMG_1.xmp");
    EXPECT_EQ(sidecarPathFor("/p/.hidden"), "/p/.hidden.xmp");

    // The make is the one of the file when the request is made.
    RawProcessor p;
    p.setFileName("/r/b.IIQ");
    std::snprintf(p.dvklib()->raw().imgdata.idata.make, 64, "%s", "Phase One");
    const TagCopyRequest request = makeTagCopyRequest(p, "/o/b.tif");
    std::snprintf(p.dvklib()->raw().imgdata.idata.make, 64, "%s", "Canon");
    EXPECT_EQ(request.make, "Phase One");
    EXPECT_EQ(request.fileName, "/r/b.IIQ");
    EXPECT_EQ(request.ofname, "/o/b.tif");
}

TEST(ExifToolArguments, OutputDecodingAndHolders) {
    EXPECT_EQ(decodeToolOutput("Model: caf\xc3\xa9\n"), "Model: caf\xc3\xa9\n");
    EXPECT_EQ(decodeToolOutput("Model: caf\xe9\n"), "Model: caf\xc3\xa9\n");
    EXPECT_EQ(decodeToolOutput("\xc0\xaf"), "\xc3\x80\xc2\xaf");  // an overlong form is no UTF-8

    test::TempDir dir;
    for (const char* name : {"a.tif", "a.tif.xmp", "a.tiff", "b.tif", ".a.tif"}) std::ofstream(dir / name) << "x";
    const std::string base = (dir / "a.tif").string();
    EXPECT_EQ(fileHoldersArguments(base), (Args{base, base + ".xmp", base + "f"}));
    EXPECT_EQ(fileHoldersArguments((dir / "zz").string()), Args{(dir / "zz").string()});
}

TEST(ExifToolRuns, RealInfoText) {
    int progressed = 0;
    const std::optional<std::string> info =
        runExifToolForInfo((test::testdata_dir() / "raw" / "colorchart.dng").string(), [&] { ++progressed; });
    ASSERT_TRUE(info);
    EXPECT_EQ(progressed, 1);
    EXPECT_EQ(info->rfind("DateTimeOriginal:", 0), 0u) << *info;
    EXPECT_NE(info->find("\nModel: Canon EOS Kiss X4\n"), std::string::npos) << *info;
}

TEST(ExifToolRuns, NoToolGivesNothingAndTheCopyFails) {
    ToolGuard tool("/nonexistent/exiftool");
    EXPECT_EQ(exiftoolPath(), "/nonexistent/exiftool");
    EXPECT_FALSE(runExifToolForInfo("/r/a.NEF"));
    std::atomic<int> childs{0};
    EXPECT_FALSE(runExifToolToCopyTags({"/r/a.NEF", "/o/a.tif", "Nikon"}, childs));
    EXPECT_EQ(childs.load(), 0);
}

TEST(ExifToolRuns, LargeOutputEndsAndHangsAreKilled) {
    test::TempDir dir;
    {
        ToolGuard tool(fake_tool(dir, "big", "head -c 1048576 /dev/zero | tr '\\0' 'a'; exit 0").string());
        const std::optional<std::string> info = runExifToolForInfo("/r/a.NEF");
        ASSERT_TRUE(info);
        EXPECT_EQ(info->size(), 1048576u);
        std::atomic<int> childs{0};
        EXPECT_TRUE(runExifToolToCopyTags({"/r/a.NEF", "/o/a.tif", ""}, childs));
    }
    {
        ToolGuard tool(fake_tool(dir, "hang", "exec sleep 30").string());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(runExifToolForInfo("/r/a.NEF", {}, std::chrono::milliseconds(300)));
        std::atomic<int> childs{0};
        testing::internal::CaptureStdout();  // the report's ps listing
        testing::internal::CaptureStderr();
        EXPECT_FALSE(runExifToolToCopyTags({"/r/a.NEF", (dir / "none.tif").string(), ""}, childs,
                                           std::chrono::milliseconds(300)));
        const std::string log = testing::internal::GetCapturedStderr();
        testing::internal::GetCapturedStdout();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_NE(log.find("timed out"), std::string::npos) << log;
        EXPECT_EQ(childs.load(), 0);
    }
}

TEST(ExifToolRuns, ManyRunsLeaveNoChild) {
    test::TempDir dir;
    ToolGuard tool(fake_tool(dir, "quick", "echo \"Model: Fake\"").string());
    std::atomic<int> childs{0};
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(runExifToolForInfo("/r/a.NEF").value_or(""), "Model: Fake\n");
        ASSERT_TRUE(runExifToolToCopyTags({"/r/a.NEF", "/o/a.tif", ""}, childs));
    }
    EXPECT_EQ(running_child_count(), 0);
    int status = 0;
    errno = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);  // neither a zombie nor a running child is left
    EXPECT_EQ(errno, ECHILD);
}

TEST(ExifToolRuns, ChildsCountsEveryCopyWhileItRuns) {
    std::atomic<int> childs{0};
    std::atomic<int> seen{-1};
    auto runner = std::make_shared<ScriptedProcessRunner>([&](const ProcessRequest&) {
        seen = childs.load();
        ProcessResult r;
        r.outcome = ProcessOutcome::Exited;
        r.exit_status = 0;
        return r;
    });
    ScopedProcessRunner scoped(runner);
    runExifToolToCopyTagsInThread(TagCopyRequest{"/r/a.NEF", "/o/a.tif", ""}, childs);
    EXPECT_EQ(seen.load(), 1);
    EXPECT_EQ(childs.load(), 0);
    runExifToolToCopyTagsInThread(std::nullopt, childs);
    EXPECT_EQ(runner->requests().size(), 1u);
}

TEST(ExifToolRuns, CopyThreadsAreCountedFromTheirStart) {
    std::mutex gate;
    gate.lock();
    std::atomic<int> ran{0};
    auto runner = std::make_shared<ScriptedProcessRunner>([&](const ProcessRequest&) {
        std::lock_guard<std::mutex> wait(gate);
        ++ran;
        ProcessResult r;
        r.outcome = ProcessOutcome::Exited;
        r.exit_status = 0;
        return r;
    });
    ScopedProcessRunner scoped(runner);
    {
        TagCopyThreads copies;
        for (int i = 0; i < 3; ++i) copies.start(TagCopyRequest{"/r/a.NEF", "/o/a" + std::to_string(i) + ".tif", ""});
        copies.start(std::nullopt);
        EXPECT_EQ(copies.childs(), 3);  // counted before any has run
        EXPECT_EQ(ran.load(), 0);
        gate.unlock();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (copies.childs() > 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(copies.childs(), 0);
        copies.start(TagCopyRequest{"/r/a.NEF", "/o/last.tif", ""});
    }  // joined here
    EXPECT_EQ(ran.load(), 4);
    EXPECT_EQ(runner->requests().size(), 4u);
}

// A failed copy logs the output and who holds the file: the PID and command
// name of each process holding it, and nothing of any other process (no
// process list, no arguments). Only the tool runs, by argument vector, so a
// folder name full of shell syntax runs nothing.
TEST(ExifToolRuns, FailureReportNamesOnlyTheProcessesHoldingTheFile) {
    test::TempDir dir;
    const fs::path folder = dir / "q'u\"o $(touch PWNED1) `touch PWNED2` ; touch PWNED3";
    fs::create_directories(folder);
    const fs::path out = folder / "a.tif";
    std::ofstream(out) << "tiff";
    std::ofstream(folder / "a.tif_original") << "x";
    ToolGuard tool(fake_tool(dir, "failing", "echo \"Error: nothing copied\"; exit 1").string());
    auto runner = std::make_shared<RecordingRunner>();
    ScopedProcessRunner scoped(runner);
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    std::string command;
    std::getline(std::ifstream("/proc/self/comm"), command);
    const std::string result = "ExifTool result: [Error: nothing copied\n]\n";
    const struct {
        bool held;
        std::string report;
    } cases[] = {
        {true, (folder / "a.tif_original").string() + " is held by " + std::to_string(getpid()) + " " + command},
        {false, out.string() + " is held by no process"},
    };
    for (const auto& c : cases) {
        FILE* holding = c.held ? std::fopen((folder / "a.tif_original").c_str(), "r") : nullptr;
        std::atomic<int> childs{0};
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const bool copied = runExifToolToCopyTags({(dir / "a.NEF").string(), out.string(), ""}, childs);
        const std::string log = testing::internal::GetCapturedStderr();
        const std::string listing = testing::internal::GetCapturedStdout();
        if (holding) std::fclose(holding);
        EXPECT_FALSE(copied);
        // The report goes to the log (standard error), never to standard output.
        EXPECT_TRUE(listing.empty()) << listing;
        EXPECT_EQ(log, result + c.report + "\n");
    }
    fs::current_path(cwd);
    const std::vector<ProcessRequest> requests = runner->requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const ProcessRequest& r : requests) EXPECT_EQ(r.program, (dir / "failing").string());
    for (const char* planted : {"PWNED1", "PWNED2", "PWNED3"}) {
        EXPECT_FALSE(fs::exists(dir / planted)) << planted;
        EXPECT_FALSE(fs::exists(folder / planted)) << planted;
    }
}

}  // namespace
}  // namespace dvk
