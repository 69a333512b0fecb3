// PosixProcessRunner: posix_spawn into a process group of its own, with
// descriptors 3 and up closed in the child; one poll loop writes standard
// input, reads both outputs and watches the child's pidfd and time limit.
#include "platform/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <system_error>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

extern char** environ;

namespace dvk {

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> g_running_children{0};

// An owned file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

struct Pipe {
    Fd read, write;
};

// A pipe with both ends close-on-exec (so a concurrent spawn elsewhere never
// inherits them) and our end non-blocking.
bool make_pipe(Pipe& pipe, bool our_end_is_read, int& error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = errno;
        return false;
    }
    pipe.read = Fd(fds[0]);
    pipe.write = Fd(fds[1]);
    int ours = our_end_is_read ? fds[0] : fds[1];
    ::fcntl(ours, F_SETFL, ::fcntl(ours, F_GETFL) | O_NONBLOCK);
    return true;
}

std::string start_error(const std::string& program, const std::string& reason) {
    return "could not start: " + program + ": " + reason;
}

// The child's value of `name`: the request's change, else ours.
std::optional<std::string> child_variable(const ProcessRequest& request, const std::string& name) {
    auto change = request.environment.find(name);
    if (change != request.environment.end()) return change->second;
    if (const char* value = ::getenv(name.c_str())) return std::string(value);
    return std::nullopt;
}

// `program` itself when it holds a slash, else the first executable regular
// file of that name on the child's PATH. Empty with `error` set when none.
std::string resolve_program(const ProcessRequest& request, std::string& error) {
    const std::string& program = request.program;
    if (program.empty()) {
        error = start_error("(no program)", "no program named");
        return {};
    }
    if (program.find('/') != std::string::npos) return program;
    std::string path = child_variable(request, "PATH").value_or("/usr/local/bin:/usr/bin:/bin");
    bool denied = false;
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = std::min(path.find(':', begin), path.size());
        std::string dir = path.substr(begin, end - begin);
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
        struct stat info;
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
            denied = true;
        }
        begin = end + 1;
    }
    error = start_error(program, denied ? std::strerror(EACCES) : "not found on PATH");
    return {};
}

// Our environment with the request's changes.
std::vector<std::string> child_environment(const ProcessRequest& request) {
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        std::string text(*entry);
        std::string name = text.substr(0, text.find('='));
        if (request.environment.count(name) == 0) entries.push_back(std::move(text));
    }
    for (const auto& [name, value] : request.environment)
        if (value) entries.push_back(name + "=" + *value);
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    result.reserve(strings.size() + 1);
    for (std::string& s : strings) result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

// posix_spawn's file actions and attributes, destroyed on every path.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup() {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

// A started child and our ends of its pipes.
struct Child {
    pid_t pid = -1;
    Fd pidfd;
    Fd input, output, error_output;
    std::string input_data;
    std::size_t input_written = 0;
    std::chrono::milliseconds time_limit{0};
    std::chrono::milliseconds kill_grace{0};
    Clock::time_point started;
};

// Starts the child; on failure returns the start error.
std::string spawn(const ProcessRequest& request, Child& child) {
    std::string error;
    std::string path = resolve_program(request, error);
    if (path.empty()) return error;

    SpawnSetup setup;
    int failure = 0;
    Pipe in, out, err;
    if (request.standard_input) {
        if (!make_pipe(in, false, failure)) return start_error(request.program, std::strerror(failure));
        ::posix_spawn_file_actions_adddup2(&setup.actions, in.read.get(), 0);
    } else {
        ::posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    }
    switch (request.output) {
    case OutputMode::Capture:
        if (!make_pipe(out, true, failure) || !make_pipe(err, true, failure))
            return start_error(request.program, std::strerror(failure));
        ::posix_spawn_file_actions_adddup2(&setup.actions, out.write.get(), 1);
        ::posix_spawn_file_actions_adddup2(&setup.actions, err.write.get(), 2);
        break;
    case OutputMode::Merge:
        if (!make_pipe(out, true, failure)) return start_error(request.program, std::strerror(failure));
        ::posix_spawn_file_actions_adddup2(&setup.actions, out.write.get(), 1);
        ::posix_spawn_file_actions_adddup2(&setup.actions, out.write.get(), 2);
        break;
    case OutputMode::Discard:
        ::posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
        ::posix_spawn_file_actions_addopen(&setup.actions, 2, "/dev/null", O_WRONLY, 0);
        break;
    case OutputMode::Inherit:
        break;
    }
    if (!request.working_directory.empty())
        ::posix_spawn_file_actions_addchdir_np(&setup.actions, request.working_directory.c_str());
    ::posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);

    // Own process group (so a time limit reaches the child's children), no
    // blocked signals and default dispositions whatever this thread has.
    sigset_t none, all;
    ::sigemptyset(&none);
    ::sigfillset(&all);
    ::posix_spawnattr_setflags(&setup.attributes,
                               POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    ::posix_spawnattr_setpgroup(&setup.attributes, 0);
    ::posix_spawnattr_setsigmask(&setup.attributes, &none);
    ::posix_spawnattr_setsigdefault(&setup.attributes, &all);

    std::vector<std::string> argument_strings;
    argument_strings.reserve(request.arguments.size() + 1);
    argument_strings.push_back(request.program);
    argument_strings.insert(argument_strings.end(), request.arguments.begin(), request.arguments.end());
    std::vector<std::string> environment = child_environment(request);
    std::vector<char*> argv = pointers(argument_strings);
    std::vector<char*> envp = pointers(environment);

    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attributes, argv.data(), envp.data());
    if (rc != 0) return start_error(request.program, std::strerror(rc));

    g_running_children.fetch_add(1);
    child.pid = pid;
#ifdef SYS_pidfd_open
    child.pidfd = Fd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
#endif
    child.input = std::move(in.write);
    child.output = std::move(out.read);
    child.error_output = std::move(err.read);
    if (request.standard_input) child.input_data = *request.standard_input;
    child.time_limit = request.time_limit;
    child.kill_grace = request.kill_grace;
    child.started = Clock::now();
    return {};
}

// write() with SIGPIPE kept from the process: blocked for this thread, and a
// SIGPIPE this write raised taken back before unblocking.
ssize_t write_without_sigpipe(int fd, const char* data, std::size_t size) {
    sigset_t pipe_only, previous, pending;
    ::sigemptyset(&pipe_only);
    ::sigaddset(&pipe_only, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe_only, &previous);
    ::sigpending(&pending);
    bool was_pending = ::sigismember(&pending, SIGPIPE) == 1;
    ssize_t written = ::write(fd, data, size);
    int error = errno;
    if (written < 0 && error == EPIPE && !was_pending) {
        timespec zero{};
        while (::sigtimedwait(&pipe_only, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return written;
}

// Appends what `fd` has to `sink`; closes it at end of file or on an error.
void read_available(Fd& fd, std::string& sink) {
    char buffer[65536];
    while (fd) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n > 0) {
            sink.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        fd.reset();
    }
}

void write_available(Child& child) {
    while (child.input && child.input_written < child.input_data.size()) {
        std::size_t chunk = std::min<std::size_t>(child.input_data.size() - child.input_written, 65536);
        ssize_t n = write_without_sigpipe(child.input.get(), child.input_data.data() + child.input_written, chunk);
        if (n > 0) {
            child.input_written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        child.input.reset();  // the child closed its end: it takes no more
    }
    child.input.reset();
}

// Writes the input, reads the outputs, applies the time limit and reaps.
ProcessResult finish(Child& child) {
    ProcessResult result;
    result.pid = child.pid;
    bool has_limit = child.time_limit.count() > 0;
    Clock::time_point deadline = child.started + child.time_limit;
    Clock::time_point kill_at{};
    bool terminated = false, killed = false, reaped = false;
    int status = 0;

    auto try_reap = [&] {
        pid_t r;
        do r = ::waitpid(child.pid, &status, WNOHANG);
        while (r < 0 && errno == EINTR);
        // ECHILD: someone else reaped it (SIGCHLD ignored); nothing left to wait for.
        if (r == child.pid || (r < 0 && errno == ECHILD)) {
            if (r < 0) status = -1;
            reaped = true;
        }
    };

    while (!reaped) {
        pollfd fds[4];
        int count = 0;
        auto add = [&](const Fd& fd, short events) {
            if (fd) fds[count++] = pollfd{fd.get(), events, 0};
        };
        add(child.input, POLLOUT);
        add(child.output, POLLIN);
        add(child.error_output, POLLIN);
        add(child.pidfd, POLLIN);

        // Without a pidfd the child is looked at every 20 ms.
        int timeout = child.pidfd ? -1 : 20;
        Clock::time_point now = Clock::now();
        auto until = [&](Clock::time_point t) {
            auto ms = std::chrono::ceil<std::chrono::milliseconds>(t - now).count();
            int wait = static_cast<int>(std::clamp<long long>(ms, 0, 1 << 30));
            timeout = timeout < 0 ? wait : std::min(timeout, wait);
        };
        if (has_limit && !terminated) until(deadline);
        if (terminated && !killed) until(kill_at);

        int ready = ::poll(fds, static_cast<nfds_t>(count), timeout);
        if (ready < 0 && errno != EINTR) ::poll(nullptr, 0, 20);  // not with valid descriptors; never spin
        if (ready > 0) {
            write_available(child);
            read_available(child.output, result.output);
            read_available(child.error_output, result.error_output);
        }
        try_reap();
        if (reaped) break;

        now = Clock::now();
        if (has_limit && !terminated && now >= deadline) {
            ::kill(-child.pid, SIGTERM);
            terminated = true;
            kill_at = now + child.kill_grace;
        }
        if (terminated && !killed && now >= kill_at) {
            ::kill(-child.pid, SIGKILL);
            killed = true;
        }
    }
    g_running_children.fetch_sub(1);

    // Whatever the child wrote is in the pipes now; a descendant still holding
    // them open is not waited for.
    read_available(child.output, result.output);
    read_available(child.error_output, result.error_output);
    child.input.reset();
    child.output.reset();
    child.error_output.reset();
    child.pidfd.reset();

    if (status != -1 && WIFSIGNALED(status)) {
        result.outcome = ProcessOutcome::Signalled;
        result.signal = WTERMSIG(status);
    } else {
        result.outcome = ProcessOutcome::Exited;
        result.exit_status = status == -1 ? -1 : WEXITSTATUS(status);
    }
    if (terminated) result.outcome = ProcessOutcome::TimedOut;
    return result;
}

}  // namespace

int running_child_count() { return g_running_children.load(); }

ProcessResult PosixProcessRunner::run(const ProcessRequest& request) {
    Child child;
    std::string error = spawn(request, child);
    if (!error.empty()) {
        ProcessResult result;
        result.start_error = std::move(error);
        return result;
    }
    return finish(child);
}

DetachedStart PosixProcessRunner::start_detached(const ProcessRequest& request, ProcessExitHandler on_exit) {
    DetachedStart start;
    Child child;
    start.start_error = spawn(request, child);
    if (!start.started()) return start;
    start.pid = child.pid;
    // The watcher outlives any owner we could give it (an editor may run
    // longer than the program); it touches only its own state.
    auto watched = std::make_shared<Child>(std::move(child));
    try {
        std::thread([watched, on_exit = std::move(on_exit)] {
            ProcessResult result = finish(*watched);
            if (on_exit) on_exit(result);
        }).detach();
    } catch (const std::system_error& e) {
        ::kill(-start.pid, SIGKILL);
        finish(*watched);
        start.start_error = start_error(request.program, std::string("no thread to watch it: ") + e.what());
        start.pid = -1;
    }
    return start;
}

}  // namespace dvk
