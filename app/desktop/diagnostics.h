// archiveCrashLogs: packs the log, the previous log, the preferences and the
// program's crash reports into "DVKDiagnostics.zip" on the desktop (the home
// folder when no desktop folder can be made) for the user to send.
//
// zip runs detached; it writes a temporary archive in the same folder, which
// then replaces any earlier one, so a stale archive is never added to. When
// zip has ended, `done` hears where the archive is or why there is none (on
// the runner's watcher thread: reportDiagnosticsWithAlert hops to the main
// queue).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/common/alert_function.h"

namespace dvk {

class ProcessRunner;

inline constexpr const char* kArchiver = "/usr/bin/zip";
inline constexpr const char* kCrashReportFolder = "/var/crash";

struct DiagnosticsPaths {
    std::string desktopFolder;    // desktopFolder()
    std::string homeFolder;       // $HOME
    std::string supportFolder;    // applicationSupportFolder(): "DVK.log", "DVK_old.log"
    std::string preferencesFile;  // defaultsFilePath()
    std::string crashFolder;      // kCrashReportFolder
};
DiagnosticsPaths standardDiagnosticsPaths();

// The desktop: XDG_DESKTOP_DIR of $XDG_CONFIG_HOME/user-dirs.dirs, else
// $HOME/Desktop.
std::string desktopFolder();

// The files below `crashFolder` (walked without following links, in name
// order) whose path below it contains "dravik" or "dvk", in any case.
std::vector<std::string> crashReports(const std::string& crashFolder);

// What goes into the archive, in order: "DVK.log", "DVK_old.log", the
// preferences file, the crash reports; only those that exist.
std::vector<std::string> diagnosticsFiles(const DiagnosticsPaths& paths);

struct DiagnosticsOutcome {
    bool written = false;
    std::string archive;  // where it is, or would have been
    std::string reason;   // why not
};
using DiagnosticsDone = std::function<void(const DiagnosticsOutcome&)>;

// Starts zip and returns at once; false when nothing could be started (done
// has then been called already).
bool archiveCrashLogs(const DiagnosticsPaths& paths, ProcessRunner& runner, DiagnosticsDone done);

// Tells the user the outcome with `alert`, on the main queue.
DiagnosticsDone reportDiagnosticsWithAlert(AlertFunction alert);

}  // namespace dvk
