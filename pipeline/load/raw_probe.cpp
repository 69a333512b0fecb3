// The probe program's runs and the answers kept.
#include "pipeline/load/raw_probe.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <deque>
#include <mutex>
#include <optional>
#include <tuple>
#include <utility>

#include "core/dvklib.h"
#include "pipeline/load/load_errors.h"
#include "platform/log.h"
#include "platform/process_runner.h"
#include "platform/stage_timer.h"

namespace dvk {

namespace {

// The answers kept: enough for the files of a large batch, identified first
// and loaded later.
constexpr std::size_t kKeptAnswers = 1024;

struct FileKey {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{}, changed{};

    bool operator==(const FileKey& o) const {
        return path == o.path && device == o.device && inode == o.inode && size == o.size &&
               std::tie(modified.tv_sec, modified.tv_nsec, changed.tv_sec, changed.tv_nsec) ==
                   std::tie(o.modified.tv_sec, o.modified.tv_nsec, o.changed.tv_sec, o.changed.tv_nsec);
    }
};

std::optional<FileKey> key_of(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileKey{path, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

struct ProbeState {
    std::mutex mutex;
    std::string program;
    std::deque<std::pair<FileKey, RawIdentity>> kept;  // newest first
    bool start_failure_logged = false;
};

ProbeState& state() {
    static ProbeState s;
    return s;
}

std::optional<RawIdentity> kept_answer(const FileKey& key) {
    ProbeState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (const auto& [k, id] : s.kept)
        if (k == key) return id;
    return std::nullopt;
}

void keep_answer(const FileKey& key, const RawIdentity& id) {
    ProbeState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (auto it = s.kept.begin(); it != s.kept.end(); ++it)
        if (it->first.path == key.path) {
            s.kept.erase(it);
            break;
        }
    s.kept.emplace_front(key, id);
    if (s.kept.size() > kKeptAnswers) s.kept.pop_back();
}

// One run of the probe; nothing when it could not start at all.
std::optional<RawIdentity> run_probe(const std::string& program, const std::string& path) {
    ProcessRequest request;
    request.program = program;
    request.arguments = {"--threads", std::to_string(band_thread_count > 0 ? band_thread_count : 1), "--", path};
    request.output = OutputMode::Capture;
    request.time_limit = kRawProbeTimeLimit;
    request.kill_grace = std::chrono::milliseconds(500);
    StageTimer timer("first reading");
    const ProcessResult result = process_runner()->run(request);
    timer.lap(nullptr);
    if (!result.started()) {
        ProbeState& s = state();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.start_failure_logged)
            log_line("The raw probe did not start (%s): raw files are read in this process",
                     result.start_error.c_str());
        s.start_failure_logged = true;
        return std::nullopt;
    }
    if (result.succeeded())
        if (std::optional<RawIdentity> id = parse_raw_identity(result.output)) return id;
    log_line("%s (the probe: %s)", load_error_text(path, kLoadUnsafe).c_str(), result.describe().c_str());
    RawIdentity refused;
    refused.open = kLoadUnsafe;
    return refused;
}

}  // namespace

std::string raw_probe_program() {
    ProbeState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.program;
}

void set_raw_probe_program(const std::string& program) {
    ProbeState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.program = program;
    s.kept.clear();
    s.start_failure_logged = false;
}

std::string raw_probe_beside_executable() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "dvk-probe";
    const std::string exe(buf, std::size_t(n));
    const std::size_t slash = exe.rfind('/');
    return (slash == std::string::npos ? std::string(".") : exe.substr(0, slash)) + "/dvk-probe";
}

void use_raw_probe_beside_executable() {
    const std::string probe = raw_probe_beside_executable();
    if (::access(probe.c_str(), X_OK) != 0) {
        log_line("The raw probe %s is missing: raw files are read in this process", probe.c_str());
        set_raw_probe_program(std::string());
        return;
    }
    set_raw_probe_program(probe);
}

RawIdentity identify_raw_file(const std::string& path) {
    const std::string program = raw_probe_program();
    if (program.empty()) return read_raw_identity(path.c_str());
    const std::optional<FileKey> key = key_of(path);
    if (key)
        if (std::optional<RawIdentity> id = kept_answer(*key)) return *id;
    std::optional<RawIdentity> id = run_probe(program, path);
    if (!id) id = read_raw_identity(path.c_str());
    // Kept only when the file is still the one read.
    if (key && key_of(path) == key) keep_answer(*key, *id);
    return *id;
}

int first_reading_refusal(const std::string& path) {
    if (raw_probe_program().empty()) return 0;
    return identify_raw_file(path).open;
}

}  // namespace dvk
