// The process-wide runner, result descriptions and the scripted runner for
// tests. The real spawning lives in posix_process_runner.cpp.
#include "platform/process_runner.h"

#include <utility>

namespace dvk {

namespace {

std::mutex& runner_mutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<ProcessRunner>& installed_runner() {
    static std::shared_ptr<ProcessRunner> runner = std::make_shared<PosixProcessRunner>();
    return runner;
}

}  // namespace

std::string ProcessResult::describe() const {
    switch (outcome) {
    case ProcessOutcome::NotStarted:
        return start_error.empty() ? "could not start" : start_error;
    case ProcessOutcome::Exited:
        return "exit status " + std::to_string(exit_status);
    case ProcessOutcome::Signalled:
        return "killed by signal " + std::to_string(signal);
    case ProcessOutcome::TimedOut:
        return "timed out";
    }
    return {};
}

std::shared_ptr<ProcessRunner> process_runner() {
    std::lock_guard lock(runner_mutex());
    return installed_runner();
}

std::shared_ptr<ProcessRunner> set_process_runner(std::shared_ptr<ProcessRunner> runner) {
    if (!runner) runner = std::make_shared<PosixProcessRunner>();
    std::lock_guard lock(runner_mutex());
    return std::exchange(installed_runner(), std::move(runner));
}

ScopedProcessRunner::ScopedProcessRunner(std::shared_ptr<ProcessRunner> runner)
    : previous_(set_process_runner(std::move(runner))) {}

ScopedProcessRunner::~ScopedProcessRunner() { set_process_runner(std::move(previous_)); }

ScriptedProcessRunner::ScriptedProcessRunner(Script script) : script_(std::move(script)) {}

ProcessResult ScriptedProcessRunner::answer(const ProcessRequest& request) {
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    if (script_) return script_(request);
    ProcessResult result;
    result.outcome = ProcessOutcome::Exited;
    result.exit_status = 0;
    return result;
}

ProcessResult ScriptedProcessRunner::run(const ProcessRequest& request) { return answer(request); }

DetachedStart ScriptedProcessRunner::start_detached(const ProcessRequest& request, ProcessExitHandler on_exit) {
    ProcessResult result = answer(request);
    DetachedStart start;
    start.pid = result.pid;
    if (!result.started()) {
        start.start_error = result.start_error.empty() ? "could not start" : result.start_error;
        return start;
    }
    if (on_exit) on_exit(result);
    return start;
}

std::vector<ProcessRequest> ScriptedProcessRunner::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

}  // namespace dvk
