#include "app/desktop/diagnostics.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>

#include "platform/dispatch.h"
#include "platform/folder_functions.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/process_runner.h"
#include "platform/user_defaults.h"

namespace dvk {

namespace {

namespace fs = std::filesystem;

constexpr const char* kArchiveName = "DVKDiagnostics.zip";
constexpr std::chrono::minutes kArchiverLimit{10};

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The last non-empty line of zip's output: its reason, when it gives one.
std::string lastLine(const std::string& output) {
    std::size_t end = output.find_last_not_of("\n\r ");
    if (end == std::string::npos) return {};
    std::size_t start = output.rfind('\n', end);
    return output.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

void logOutput(const std::string& output) {
    std::size_t pos = 0;
    while (pos < output.size()) {
        std::size_t nl = output.find('\n', pos);
        if (nl == std::string::npos) nl = output.size();
        if (nl > pos) log_line("zip: %s", output.substr(pos, nl - pos).c_str());
        pos = nl + 1;
    }
}

}  // namespace

std::string desktopFolder() {
    const std::string home = env("HOME");
    std::string config = env("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/') config = home + "/.config";
    std::ifstream dirs(config + "/user-dirs.dirs");
    std::string line;
    while (std::getline(dirs, line)) {
        static const std::string key = "XDG_DESKTOP_DIR=\"";
        if (line.compare(0, key.size(), key) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
        if (!value.empty() && value[0] == '/') return value;
    }
    return home + "/Desktop";
}

DiagnosticsPaths standardDiagnosticsPaths() {
    return {desktopFolder(), env("HOME"), applicationSupportFolder(), defaultsFilePath(), kCrashReportFolder};
}

std::vector<std::string> crashReports(const std::string& crashFolder) {
    std::vector<std::string> found;
    std::error_code ec;
    fs::recursive_directory_iterator it(crashFolder, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
        const std::string below = lower(it->path().lexically_relative(crashFolder).string());
        if (below.find("dravik") != std::string::npos || below.find("dvk") != std::string::npos)
            found.push_back(it->path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> diagnosticsFiles(const DiagnosticsPaths& paths) {
    std::vector<std::string> files;
    for (const std::string& f : {paths.supportFolder + "/DVK.log", paths.supportFolder + "/DVK_old.log", paths.preferencesFile})
        if (isRegularFile(f)) files.push_back(f);
    for (std::string& f : crashReports(paths.crashFolder)) files.push_back(std::move(f));
    return files;
}

bool archiveCrashLogs(const DiagnosticsPaths& paths, ProcessRunner& runner, DiagnosticsDone done) {
    std::string folder = paths.desktopFolder;
    if (folder.empty() || !createDirectoryPath(folder) || !isFolder(folder)) {
        log_line("No desktop folder at %s; the diagnostics archive goes to the home folder", folder.c_str());
        folder = paths.homeFolder;
    }
    const std::string archive = folder + "/" + kArchiveName;
    auto fail = [&](std::string reason) {
        log_line("Diagnostics archive %s not written: %s", archive.c_str(), reason.c_str());
        if (done) done({false, archive, std::move(reason)});
        return false;
    };
    if (paths.desktopFolder.empty() && paths.homeFolder.empty()) return fail("there is no home folder");
    const std::vector<std::string> files = diagnosticsFiles(paths);
    if (files.empty()) return fail("no log, preferences or crash report was found");

    // zip adds to an archive that exists: it writes into a fresh folder beside.
    std::string work = folder + "/.DVKDiagnostics.XXXXXX";
    if (!mkdtemp(work.data())) return fail(std::string("cannot write in ") + folder + ": " + std::strerror(errno));
    const std::string fresh = work + "/" + kArchiveName;

    ProcessRequest request;
    request.program = kArchiver;
    request.arguments.push_back(fresh);
    request.arguments.insert(request.arguments.end(), files.begin(), files.end());
    request.output = OutputMode::Merge;
    request.time_limit = kArchiverLimit;
    auto finished = [archive, fresh, work, done](const ProcessResult& result) {
        logOutput(result.output);
        DiagnosticsOutcome outcome{false, archive, {}};
        std::error_code ec;
        if (!result.succeeded()) {
            const std::string said = lastLine(result.output);
            outcome.reason = "zip " + result.describe() + (said.empty() ? "" : ": " + said);
        } else if (std::rename(fresh.c_str(), archive.c_str()) != 0) {
            outcome.reason = std::string("cannot put it in place: ") + std::strerror(errno);
        } else {
            outcome.written = true;
        }
        fs::remove_all(work, ec);
        if (outcome.written)
            log_line("Diagnostics archive written to %s", archive.c_str());
        else
            log_line("Diagnostics archive %s not written: %s", archive.c_str(), outcome.reason.c_str());
        if (done) done(outcome);
    };
    DetachedStart start = runner.start_detached(request, finished);
    if (!start.started()) {
        std::error_code ec;
        fs::remove_all(work, ec);
        return fail(start.start_error);
    }
    return true;
}

DiagnosticsDone reportDiagnosticsWithAlert(AlertFunction alert) {
    return [alert = std::move(alert)](const DiagnosticsOutcome& outcome) {
        runOnMainQueue([alert, outcome] {
            if (outcome.written)
                alert("Diagnostics",
                      formatAlertText("The logs, preferences and crash reports are packed in %@.", {outcome.archive}),
                      {"Ok"});
            else
                alert("Diagnostics",
                      formatAlertText("Can't create the diagnostics archive %@: %@", {outcome.archive, outcome.reason}),
                      {"Ok"});
        });
    };
}

}  // namespace dvk
