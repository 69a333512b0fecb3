#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "platform/process_runner.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {
using namespace std::chrono_literals;
using test::TempDir;

// /bin/sh -c SCRIPT with $0 = "sh" and $1.. = ARGS (the test's shell; the runner adds none).
ProcessRequest sh(const std::string& script, std::vector<std::string> args = {}) {
    ProcessRequest request;
    request.program = "/bin/sh";
    request.arguments = {"-c", script, "sh"};
    request.arguments.insert(request.arguments.end(), args.begin(), args.end());
    return request;
}

// True when the child is gone and reaped (not ours any more).
bool reaped(pid_t pid) { return pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == -1 && errno == ECHILD; }

TEST(ProcessRunner, ArgumentsArriveVerbatimInTheWorkingFolder) {
    TempDir dir;
    std::vector<std::string> args = {"two words", "it's \"quoted\"", "$(touch made1)", "`touch made2`", "", "*"};
    ProcessRequest request = sh("for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; pwd", args);
    request.working_directory = dir.path().string();
    PosixProcessRunner runner;
    ProcessResult result = runner.run(request);
    ASSERT_TRUE(result.succeeded()) << result.describe() << result.error_output;
    std::string expected;
    for (const auto& a : args) expected += "[" + a + "]\n";
    expected += std::filesystem::canonical(dir.path()).string() + "\n";
    EXPECT_EQ(result.output, expected);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    EXPECT_FALSE(std::filesystem::exists("made1"));
    EXPECT_FALSE(std::filesystem::exists("made2"));
}

TEST(ProcessRunner, EnvironmentChangesReachOnlyTheChild) {
    TempDir dir;
    // A program found on the child's own PATH.
    { std::ofstream(dir / "dvk-test-tool") << "#!/bin/sh\necho \"tool:$DVK_TEST_SET|${DVK_TEST_UNSET-gone}\"\n"; }
    ::chmod((dir / "dvk-test-tool").c_str(), 0755);
    ::setenv("DVK_TEST_UNSET", "ours", 1);
    ProcessRequest request;
    request.program = "dvk-test-tool";
    request.environment = {{"PATH", dir.path().string() + ":/usr/bin:/bin"},
                           {"DVK_TEST_SET", "a b $c"},
                           {"DVK_TEST_UNSET", std::nullopt}};
    ProcessResult result = PosixProcessRunner().run(request);
    ASSERT_TRUE(result.succeeded()) << result.describe();
    EXPECT_EQ(result.output, "tool:a b $c|gone\n");
    EXPECT_EQ(std::getenv("DVK_TEST_SET"), nullptr);
    ASSERT_NE(std::getenv("DVK_TEST_UNSET"), nullptr);
    EXPECT_STREQ(std::getenv("DVK_TEST_UNSET"), "ours");
    ::unsetenv("DVK_TEST_UNSET");
}

TEST(ProcessRunner, MegabytesInAndOutAtOnceDoNotDeadlock) {
    const std::size_t size = 1 << 20;
    // stdout filled by a background job while stdin is copied to stderr.
    ProcessRequest request = sh("head -c 1048576 /dev/zero | tr '\\0' a & cat >&2; wait");
    request.standard_input = std::string(size, 'b');
    ProcessResult result = PosixProcessRunner().run(request);
    ASSERT_TRUE(result.succeeded()) << result.describe();
    EXPECT_EQ(result.output, std::string(size, 'a'));
    EXPECT_EQ(result.error_output, std::string(size, 'b'));
}

TEST(ProcessRunner, StatusesAndMergedOutputInOrder) {
    PosixProcessRunner runner;
    ProcessRequest merged = sh("echo 1; echo 2 >&2; echo 3; echo 4 >&2; exit 3");
    merged.output = OutputMode::Merge;
    ProcessResult result = runner.run(merged);
    EXPECT_EQ(result.outcome, ProcessOutcome::Exited);
    EXPECT_EQ(result.exit_status, 3);
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.output, "1\n2\n3\n4\n");
    EXPECT_EQ(result.error_output, "");
    EXPECT_EQ(result.describe(), "exit status 3");

    ProcessResult signalled = runner.run(sh("kill -USR1 $$"));
    EXPECT_EQ(signalled.outcome, ProcessOutcome::Signalled);
    EXPECT_EQ(signalled.signal, SIGUSR1);

    // A child that closes its input early is no error of ours.
    ProcessRequest early = sh("exit 0");
    early.standard_input = std::string(1 << 20, 'x');
    EXPECT_TRUE(runner.run(early).succeeded());
}

TEST(ProcessRunner, TimeLimitTerminatesThenKills) {
    PosixProcessRunner runner;
    auto started = std::chrono::steady_clock::now();
    ProcessRequest hang = sh("sleep 10");
    hang.time_limit = 300ms;
    ProcessResult result = runner.run(hang);
    EXPECT_TRUE(result.timed_out());
    EXPECT_EQ(result.signal, SIGTERM);
    EXPECT_TRUE(reaped(result.pid));

    ProcessRequest stubborn = sh("trap '' TERM; echo ready; while :; do sleep 0.05; done");
    stubborn.time_limit = 200ms;
    stubborn.kill_grace = 200ms;
    result = runner.run(stubborn);
    EXPECT_TRUE(result.timed_out());
    EXPECT_EQ(result.signal, SIGKILL);
    EXPECT_EQ(result.output, "ready\n");
    EXPECT_EQ(result.describe(), "timed out");
    EXPECT_TRUE(reaped(result.pid));

    // A descendant left holding the output open is not waited for.
    result = runner.run(sh("sleep 3 & echo done"));
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.output, "done\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2500ms);
    EXPECT_EQ(running_child_count(), 0);
}

TEST(ProcessRunner, StartErrorsAreNotExitStatuses) {
    TempDir dir;
    { std::ofstream(dir / "plain") << "#!/bin/sh\n"; }
    ::chmod((dir / "plain").c_str(), 0644);
    PosixProcessRunner runner;
    auto error_of = [&](ProcessRequest request) {
        ProcessResult result = runner.run(request);
        EXPECT_EQ(result.outcome, ProcessOutcome::NotStarted);
        EXPECT_EQ(result.describe(), result.start_error);
        return result.start_error;
    };
    ProcessRequest missing;
    missing.program = "/nonexistent/dvk-tool";
    EXPECT_EQ(error_of(missing), "could not start: /nonexistent/dvk-tool: No such file or directory");
    missing.program = "dvk-no-such-tool";
    EXPECT_EQ(error_of(missing), "could not start: dvk-no-such-tool: not found on PATH");
    ProcessRequest plain;
    plain.program = (dir / "plain").string();
    EXPECT_EQ(error_of(plain), "could not start: " + plain.program + ": Permission denied");
    ProcessRequest nowhere = sh("true");
    nowhere.working_directory = (dir / "missing").string();
    EXPECT_NE(error_of(nowhere).find("No such file or directory"), std::string::npos);

    DetachedStart detached = runner.start_detached(missing, [](const ProcessResult&) { ADD_FAILURE(); });
    EXPECT_FALSE(detached.started());
    EXPECT_EQ(detached.start_error, "could not start: dvk-no-such-tool: not found on PATH");
    EXPECT_EQ(running_child_count(), 0);
}

TEST(ProcessRunner, ManyRunsFromManyThreadsLeaveNoChildren) {
    PosixProcessRunner runner;
    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (int t = 0; t < 5; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                std::string tag = std::to_string(t * 10 + i);
                ProcessResult result = runner.run(sh("echo \"$1\"", {tag}));
                if (result.succeeded() && result.output == tag + "\n") ++good;
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(good.load(), 50);
    EXPECT_EQ(running_child_count(), 0);
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(ProcessRunner, DetachedChildrenAreWatchedAndReaped) {
    PosixProcessRunner runner;
    auto finished = std::make_shared<std::promise<ProcessResult>>();
    auto future = finished->get_future();
    DetachedStart start = runner.start_detached(sh("sleep 0.2; echo bye; exit 4"),
                                                [finished](const ProcessResult& r) { finished->set_value(r); });
    ASSERT_TRUE(start.started()) << start.start_error;
    EXPECT_GE(running_child_count(), 1);
    ASSERT_EQ(future.wait_for(5s), std::future_status::ready);
    ProcessResult result = future.get();
    EXPECT_EQ(result.pid, start.pid);
    EXPECT_EQ(result.exit_status, 4);
    EXPECT_EQ(result.output, "bye\n");
    EXPECT_TRUE(reaped(start.pid));

    // An editor-like start: nobody listens, it is still reaped.
    ProcessRequest editor = sh("sleep 0.1");
    editor.output = OutputMode::Discard;
    start = runner.start_detached(editor);
    ASSERT_TRUE(start.started());
    for (int i = 0; i < 500 && running_child_count() > 0; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(running_child_count(), 0);
    EXPECT_TRUE(reaped(start.pid));
}

TEST(ProcessRunner, ChildrenGetOnlyTheStandardDescriptors) {
    int fd = ::open("/dev/null", O_RDONLY);  // no close-on-exec, as careless code would leave it
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::dup2(fd, 100), 100);
    ProcessRequest request;
    request.program = "/bin/ls";
    request.arguments = {"/proc/self/fd"};
    ProcessResult result = PosixProcessRunner().run(request);
    ::close(100);
    ::close(fd);
    ASSERT_TRUE(result.succeeded()) << result.describe() << result.error_output;
    std::istringstream lines(result.output);
    std::vector<int> listed;
    for (std::string line; std::getline(lines, line);) listed.push_back(std::stoi(line));
    // 0-2, and the one ls opens to read the folder.
    EXPECT_EQ(listed, (std::vector<int>{0, 1, 2, 3}));
}

TEST(ProcessRunner, TestsInstallAScriptedRunner) {
    auto scripted = std::make_shared<ScriptedProcessRunner>([](const ProcessRequest& request) {
        ProcessResult result;
        result.outcome = ProcessOutcome::Exited;
        result.exit_status = request.arguments.empty() ? 1 : 0;
        result.output = "scripted";
        return result;
    });
    {
        ScopedProcessRunner installed(scripted);
        ProcessRequest request;
        request.program = "exiftool";
        request.arguments = {"-ver"};
        ProcessResult result = process_runner()->run(request);
        EXPECT_TRUE(result.succeeded());
        EXPECT_EQ(result.output, "scripted");
        bool told = false;
        EXPECT_TRUE(process_runner()->start_detached(request, [&](const ProcessResult&) { told = true; }).started());
        EXPECT_TRUE(told);
        ASSERT_EQ(scripted->requests().size(), 2u);
        EXPECT_EQ(scripted->requests()[0].arguments, std::vector<std::string>{"-ver"});
    }
    EXPECT_NE(dynamic_cast<PosixProcessRunner*>(process_runner().get()), nullptr);
}

}  // namespace
}  // namespace dvk
