// One dvk per support folder, as whole processes: a launch hands its files
// (made absolute) to the program holding the lock and exits with its answer;
// a lock and socket left by a killed program do not stop a start; two
// launches at once make one program.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QtCore/QLockFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/desktop/single_instance.h"
#include "tests/support/run_command.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

struct InstanceHome {
    InstanceHome() { fs::create_directories(dir / "run"); }
    fs::path support() const { return dir.path() / "data" / "DVK"; }
    InstancePaths paths() const { return instancePaths(support().string(), (dir / "run").string()); }
    // The environment of a run of dvk in this home.
    std::string env(const std::string& more = "") const {
        return "env -u DVK_NO_REDIRECT XDG_DATA_HOME=" + shell_quoted((dir / "data").string()) +
               " XDG_CONFIG_HOME=" + shell_quoted((dir / "config").string()) +
               " XDG_RUNTIME_DIR=" + shell_quoted((dir / "run").string()) + " QT_QPA_PLATFORM=offscreen " + more;
    }
    std::string dvk() const { return shell_quoted(std::string(DVK_BINARY_DIR) + "/bin/dvk"); }
    TempDir dir;
};

// A stand-in for a running program: holds the lock, takes one message on the
// socket and answers it.
struct FakeInstance {
    explicit FakeInstance(const InstancePaths& paths) : lock(QString::fromStdString(paths.lockFile)) {
        EXPECT_TRUE(lock.tryLock(0));
        listener = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", paths.socketFile.c_str());
        unlink(paths.socketFile.c_str());
        EXPECT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(listen(listener, 4), 0);
    }
    ~FakeInstance() { close(listener); }
    // Serves one launch on a thread: the files it sent.
    std::vector<std::string> serve(char answer, const std::function<void()>& launch) {
        std::vector<std::string> files;
        std::thread server([&] {
            const int c = accept(listener, nullptr, nullptr);
            std::string bytes;
            char buf[4096];
            ssize_t n;
            while ((n = read(c, buf, sizeof buf)) > 0) {
                bytes.append(buf, static_cast<std::size_t>(n));
                if (auto m = decodeOpenMessage(bytes)) {
                    files = m->files;
                    break;
                }
            }
            [[maybe_unused]] ssize_t w = write(c, &answer, 1);
            close(c);
        });
        launch();
        server.join();
        return files;
    }
    QLockFile lock;
    int listener = -1;
};

TEST(SingleInstance, ALaunchHandsItsFilesOverMadeAbsoluteAndExitsWithTheAnswer) {
    InstanceHome home;
    fs::create_directories(home.dir / "work");
    FakeInstance instance(home.paths());
    const std::string cd = "cd " + shell_quoted((home.dir / "work").string()) + " && ";
    CommandRun run;
    std::vector<std::string> files = instance.serve(kInstanceAccepted, [&] {
        run = run_command(cd + home.env() + home.dvk() + " rel/a.dng -style fusion ../b.dng /abs/c.dng");
    });
    EXPECT_EQ(run.status, 0);
    const std::string work = (home.dir / "work").string();
    EXPECT_EQ(files, (std::vector<std::string>{work + "/rel/a.dng", (home.dir / "b.dng").string(), "/abs/c.dng"}));

    // A file that does not exist is said on standard error, and handed over still.
    files = instance.serve(kInstanceRefused,
                           [&] { run = run_command(cd + home.env() + home.dvk() + " x.dng 2>&1"); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(files, std::vector<std::string>{work + "/x.dng"});
    EXPECT_EQ(run.out, "DVK: File not found: " + work + "/x.dng\n");

    // Without files the running program only comes to the front.
    files = instance.serve(kInstanceAccepted, [&] { run = run_command(cd + home.env() + home.dvk()); });
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(files.empty());
    // A launch that hands over writes no log.
    EXPECT_FALSE(fs::exists(home.support() / "DVK.log"));
}

// --help and --version print and exit 0 before the lock (held here by a
// program that would never answer), the log or a window; an unknown option
// is said as a missing file is, and after "--" a name beginning with "-" is
// a file.
TEST(SingleInstance, HelpAndVersionNeedNoInstanceOptionsAreSaidAndASilentProgramIsNamed) {
    InstanceHome home;
    fs::create_directories(home.dir / "work");
    const std::string cd = "cd " + shell_quoted((home.dir / "work").string()) + " && ";
    {
    FakeInstance silent(home.paths());
    CommandRun help = run_command(cd + home.env() + "timeout 5 " + home.dvk() + " a.dng --help 2>&1");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: dvk [FILE-OR-FOLDER...]\n", 0), 0u) << help.out;
    for (const char* part : {"--version", "DVK_NO_REDIRECT=1", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "\"--\""})
        EXPECT_NE(help.out.find(part), std::string::npos) << part;
    CommandRun version = run_command(cd + home.env() + "timeout 5 " + home.dvk() + " --version 2>&1");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("DVK 0.", 0), 0u) << version.out;
    EXPECT_EQ(std::count(version.out.begin(), version.out.end(), '\n'), 1);
    EXPECT_FALSE(fs::exists(home.dir / "data"));
    }

    FakeInstance instance(home.paths());
    CommandRun run;
    std::vector<std::string> files = instance.serve(kInstanceAccepted, [&] {
        run = run_command(cd + home.env() + home.dvk() + " --bogus -- -x.dng --help 2>&1");
    });
    EXPECT_EQ(run.status, 0);
    const std::string work = (home.dir / "work").string();
    EXPECT_EQ(files, (std::vector<std::string>{work + "/-x.dng", work + "/--help"}));
    EXPECT_EQ(run.out, "DVK: Unknown option: --bogus\nDVK: File not found: " + work + "/-x.dng\nDVK: File not found: " +
                           work + "/--help\n");
}

// A stopped program takes the connection but does not answer: the launch
// says so after 10 s and exits 1, and its files, read once the program goes
// on, are dropped, never opened; the next launch's are taken, once.
TEST(SingleInstance, FilesOfALaunchThatGaveUpAreNeverOpenedLater) {
    InstanceHome home;
    // The signals go to the program itself (env runs it in its own process).
    const std::string dvk = home.env("DVK_DEV_ALERTS=first ") + home.dvk();
    const std::string script =
        dvk + " & pid=$!; for i in $(seq 300); do [ -S " + shell_quoted(home.paths().socketFile) +
        " ] && break; sleep 0.05; done; sleep 0.5; kill -STOP $pid; " + dvk +
        " /none/a.dng /none/b.dng 2>&1; echo late=$?; kill -CONT $pid; sleep 0.5; " + dvk +
        " /none/c.dng 2>&1; echo next=$?; sleep 1; kill -TERM $pid; wait $pid; echo rc=$?";
    const auto start = std::chrono::steady_clock::now();
    const CommandRun run = run_command("timeout 90 sh -c " + shell_quoted(script));
    EXPECT_EQ(run.out, "DVK: File not found: /none/a.dng\nDVK: File not found: /none/b.dng\n"
                       "DVK is running but does not answer\nlate=1\nDVK: File not found: /none/c.dng\nnext=0\nrc=0\n");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(9));
    const std::string log = read_file(home.support() / "DVK.log");
    EXPECT_NE(log.find("Dropped list (/none/a.dng, /none/b.dng): its launch no longer waits for the answer\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(count(log, "Added list"), 1u) << log;
    EXPECT_EQ(count(log, "Added list (/none/c.dng)\n"), 1u) << log;
    EXPECT_EQ(count(log, "/none/a.dng"), 1u) << log;
}

TEST(SingleInstance, ALockAndSocketLeftByAKilledProgramDoNotStopAStart) {
    InstanceHome home;
    const InstancePaths paths = home.paths();
    // A program killed while it runs leaves its lock and socket behind.
    const CommandRun killed = run_command(home.env() + home.dvk() + " & pid=$!; for i in $(seq 200); do [ -S " +
                                          shell_quoted(paths.socketFile) +
                                          " ] && break; sleep 0.05; done; kill -9 $pid; wait $pid; echo $?");
    EXPECT_EQ(killed.out, "137\n");
    ASSERT_TRUE(fs::exists(paths.lockFile));
    ASSERT_TRUE(fs::exists(paths.socketFile));
    const CommandRun next = run_command(home.env("DVK_DEV_QUIT_IDLE=1 DVK_DEV_ALERTS=first ") + "timeout 30 " +
                                        home.dvk());
    EXPECT_EQ(next.status, 0);
    const std::string log = read_file(home.support() / "DVK.log");
    EXPECT_EQ(count(log, ") started\n"), 2u) << log;
    EXPECT_EQ(count(log, "DVK quit\n"), 1u) << log;
    EXPECT_FALSE(fs::exists(paths.lockFile));
}

TEST(SingleInstance, TwoLaunchesAtOnceMakeOneProgram) {
    InstanceHome home;
    const std::string env = home.env("DVK_DEV_QUIT_IDLE=1 DVK_DEV_ALERTS=first ") + "timeout 30 ";
    const CommandRun both = run_command(env + home.dvk() + " /none/x.dng & a=$!; " + env + home.dvk() +
                                        " /none/y.dng & b=$!; wait $a; echo a=$?; wait $b; echo b=$?");
    EXPECT_EQ(both.out, "a=0\nb=0\n");
    const std::string log = read_file(home.support() / "DVK.log");
    EXPECT_EQ(count(log, ") started\n"), 1u) << log;
    EXPECT_EQ(count(log, "Added list"), 2u) << log;
    EXPECT_NE(log.find("/none/x.dng"), std::string::npos);
    EXPECT_NE(log.find("/none/y.dng"), std::string::npos);
}

// Nothing that waits for a person holds a quit asked by a signal: two files
// handed over by two launches open the batch question, and SIGTERM answers
// it with "Cancel" and ends the program.
TEST(SingleInstance, SigtermWithTheBatchQuestionOpenEndsTheProgram) {
    InstanceHome home;
    fs::create_directories(home.dir / "photos");
    // One launch a file, each handing it over.
    std::string launches;
    for (const char* name : {"a.dng", "b.dng"}) {
        fs::create_symlink(testdata_dir() / "raw" / "colorchart.dng", home.dir / "photos" / name);
        launches += home.env() + home.dvk() + " " + shell_quoted((home.dir / "photos" / name).string()) + "; ";
    }
    const CommandRun run = run_command(
        home.env("DVK_DEV_EXIFTOOL=/bin/true ") + home.dvk() + " & pid=$!; for i in $(seq 200); do [ -S " +
        shell_quoted(home.paths().socketFile) + " ] && break; sleep 0.05; done; " + launches +
        "sleep 2; kill -TERM $pid; for i in $(seq 300); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done; "
        "kill -0 $pid 2>/dev/null && { kill -9 $pid; echo stayed; }; wait $pid; echo $?");
    EXPECT_EQ(run.out, "0\n");
    const std::string log = read_file(home.support() / "DVK.log");
    EXPECT_NE(log.find("Quit asked by a signal"), std::string::npos) << log;
    EXPECT_NE(log.find("Alert Batch mode You are about to run a batch for 2 files (Continue, Cancel) 1001\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("DVK quit\n"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(home.dir / "photos" / "a.tiff"));
}

// Without XDG_RUNTIME_DIR the lock and socket go into a folder of the
// temporary folder, which anyone could have made first: it is made private,
// and one that is a link, another user's or open to others is refused; dvk
// then says so and runs on its own, making nothing in it.
TEST(SingleInstance, TheFallbackRuntimeFolderIsMadePrivateAndAnUnsafeOneIsRefused) {
    TempDir dir;
    fs::create_directories(dir / "t");
    const fs::path runtime = dir / "t" / ("dvk-runtime-" + std::to_string(getuid()));
    const std::string kept = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
    const std::string keptTmp = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    unsetenv("XDG_RUNTIME_DIR");
    setenv("TMPDIR", (dir / "t").c_str(), 1);
    auto refusal = [] {
        std::string why;
        return instanceRuntimeFolder(&why) ? std::string("accepted") : why;
    };

    EXPECT_EQ(refusal(), "accepted");
    EXPECT_EQ(instanceRuntimeFolder().value_or(""), runtime.string());
    EXPECT_EQ(fs::status(runtime).permissions() & fs::perms::all, fs::perms::owner_all);
    fs::permissions(runtime, fs::perms(0755));
    EXPECT_EQ(refusal(), "the runtime folder " + runtime.string() + " is open to other users (mode 755)");
    fs::permissions(runtime, fs::perms(0700));
    if (getuid() == 0) {
        ASSERT_EQ(chown(runtime.c_str(), 65534, 65534), 0);
        EXPECT_EQ(refusal(), "the runtime folder " + runtime.string() + " belongs to another user");
        ASSERT_EQ(chown(runtime.c_str(), 0, 0), 0);
    }
    fs::rename(runtime, dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", runtime);
    EXPECT_EQ(refusal(), "the runtime folder " + runtime.string() + " is a symbolic link (to " +
                             (dir / "elsewhere").string() + "), not a folder of its own");
    fs::remove(runtime);
    std::ofstream(runtime) << "x";
    EXPECT_EQ(refusal(), "the runtime folder " + runtime.string() + " is not a folder");
    fs::remove(runtime);
    fs::rename(dir / "elsewhere", runtime);
    fs::permissions(runtime, fs::perms(0777));

    if (kept.empty()) unsetenv("XDG_RUNTIME_DIR"); else setenv("XDG_RUNTIME_DIR", kept.c_str(), 1);
    if (keptTmp.empty()) unsetenv("TMPDIR"); else setenv("TMPDIR", keptTmp.c_str(), 1);

    // The whole program with the open folder.
    const std::string env = "env -u DVK_NO_REDIRECT -u XDG_RUNTIME_DIR TMPDIR=" + shell_quoted((dir / "t").string()) +
                            " XDG_DATA_HOME=" + shell_quoted((dir / "data").string()) +
                            " XDG_CONFIG_HOME=" + shell_quoted((dir / "config").string()) +
                            " QT_QPA_PLATFORM=offscreen DVK_DEV_QUIT_IDLE=1 DVK_DEV_ALERTS=first timeout 30 ";
    const CommandRun run =
        run_command(env + shell_quoted(std::string(DVK_BINARY_DIR) + "/bin/dvk") + " 2>&1 >/dev/null");
    EXPECT_EQ(run.status, 0);
    const std::string said =
        "DVK: the runtime folder " + runtime.string() + " is open to other users (mode 777); running on its own\n";
    EXPECT_EQ(run.out.substr(0, said.size()), said);
    EXPECT_NE(read_file(dir / "data" / "DVK" / "DVK.log").find(said), std::string::npos);
    EXPECT_TRUE(fs::is_empty(runtime));
}

}  // namespace
}  // namespace dvk::test
