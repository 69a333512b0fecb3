// Running external programs (exiftool, colprof, zip, editors).
//
// A ProcessRequest names a program and its argument vector (never a shell),
// per-child environment changes, optional standard input, a working folder,
// how output is kept and a time limit. `run` waits and returns the exit status
// with standard output and error read while the child runs; a child over its
// time limit gets SIGTERM, then SIGKILL after a grace, and is reported as timed
// out. `start_detached` returns at once; the child is still reaped (and an
// optional callback told) on a worker thread. A program that cannot start is a
// start error, never an exit status. Children get only descriptors 0-2.
// Callers go through `process_runner()`; tests install a fake one.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace dvk {

enum class OutputMode {
    Capture,  // standard output and error each into its own string
    Merge,    // standard error into the same stream as output, in order
    Discard,  // both to /dev/null
    Inherit,  // both to ours (the log)
};

struct ProcessRequest {
    // A path, or a bare name looked up on the child's PATH.
    std::string program;
    // argv[1..]; argv[0] is `program`.
    std::vector<std::string> arguments;
    // Changes to our environment for this child only: a value sets the
    // variable, nullopt removes it.
    std::map<std::string, std::optional<std::string>> environment;
    // Written to the child's standard input, which is then closed; without it
    // standard input is /dev/null.
    std::optional<std::string> standard_input;
    // Empty: ours.
    std::string working_directory;
    OutputMode output = OutputMode::Capture;
    // Zero: no limit.
    std::chrono::milliseconds time_limit{0};
    // Between SIGTERM and SIGKILL once the time limit has passed.
    std::chrono::milliseconds kill_grace{2000};
};

enum class ProcessOutcome {
    NotStarted,  // `start_error` says why
    Exited,      // `exit_status` holds the status
    Signalled,   // `signal` ended it
    TimedOut,    // killed after its time limit; `signal` is the one that ended it
};

struct ProcessResult {
    ProcessOutcome outcome = ProcessOutcome::NotStarted;
    int exit_status = -1;
    int signal = 0;
    pid_t pid = -1;
    std::string output;        // standard output (with error when merged)
    std::string error_output;  // standard error (Capture only)
    std::string start_error;   // "could not start: <program>: <reason>"

    bool started() const { return outcome != ProcessOutcome::NotStarted; }
    bool timed_out() const { return outcome == ProcessOutcome::TimedOut; }
    bool succeeded() const { return outcome == ProcessOutcome::Exited && exit_status == 0; }
    // One line for logs and alerts: the start error, "exit status N",
    // "killed by signal N" or "timed out after the time limit".
    std::string describe() const;
};

struct DetachedStart {
    pid_t pid = -1;
    std::string start_error;  // empty when started
    bool started() const { return start_error.empty(); }
};

using ProcessExitHandler = std::function<void(const ProcessResult&)>;

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Runs the child to its end (or its time limit) on the calling thread.
    virtual ProcessResult run(const ProcessRequest& request) = 0;
    // Starts the child and returns; a worker thread keeps its output as the
    // request says, applies the time limit, reaps it and then calls `on_exit`
    // (when given) on that thread.
    virtual DetachedStart start_detached(const ProcessRequest& request, ProcessExitHandler on_exit = {}) = 0;
};

// The real runner: posix_spawn, pipes read through poll.
class PosixProcessRunner final : public ProcessRunner {
public:
    ProcessResult run(const ProcessRequest& request) override;
    DetachedStart start_detached(const ProcessRequest& request, ProcessExitHandler on_exit = {}) override;
};

// The process-wide runner (a PosixProcessRunner until another is installed).
std::shared_ptr<ProcessRunner> process_runner();
// Installs `runner` (null: the real one again); returns the previous one.
std::shared_ptr<ProcessRunner> set_process_runner(std::shared_ptr<ProcessRunner> runner);

// Children started by PosixProcessRunner and not yet reaped, process-wide.
int running_child_count();

// For tests: installs a runner for its lifetime, then puts the previous back.
class ScopedProcessRunner {
public:
    explicit ScopedProcessRunner(std::shared_ptr<ProcessRunner> runner);
    ~ScopedProcessRunner();
    ScopedProcessRunner(const ScopedProcessRunner&) = delete;
    ScopedProcessRunner& operator=(const ScopedProcessRunner&) = delete;

private:
    std::shared_ptr<ProcessRunner> previous_;
};

// For tests: answers every request through `script` (default: exit status 0,
// no output) and records the requests. Detached starts call `on_exit` before
// returning. Thread-safe.
class ScriptedProcessRunner final : public ProcessRunner {
public:
    using Script = std::function<ProcessResult(const ProcessRequest&)>;
    explicit ScriptedProcessRunner(Script script = {});
    ProcessResult run(const ProcessRequest& request) override;
    DetachedStart start_detached(const ProcessRequest& request, ProcessExitHandler on_exit = {}) override;
    std::vector<ProcessRequest> requests() const;

private:
    ProcessResult answer(const ProcessRequest& request);
    Script script_;
    mutable std::mutex mutex_;
    std::vector<ProcessRequest> requests_;
};

}  // namespace dvk
