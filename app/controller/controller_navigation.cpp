// Controller: the next and previous raw file of the open file's folder, the
// file and profile trash actions, and the AWB lock.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/batch/file_list.h"
#include "app/batch/file_names.h"
#include "app/history/history_defaults.h"
#include "app/menus/profile_menu.h"
#include "pipeline/load/load_errors.h"
#include "pipeline/load/load_raw_file.h"
#include "pipeline/load/raw_probe.h"
#include "pipeline/processor/custom_profile.h"
#include "pipeline/writers/output_naming.h"
#include "platform/alert.h"
#include "platform/folder_functions.h"
#include "platform/log.h"
#include "platform/modifier_keys.h"
#include "platform/panels.h"
#include "platform/trash.h"

namespace dvk {

namespace {

std::locale current_locale() {
    try {
        return std::locale("");
    } catch (const std::exception&) {
        return std::locale::classic();
    }
}

std::vector<std::string> folder_entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end(), FileNameOrder{current_locale()});
    return names;
}

// Why Next and Previous name a file they pass (nothing for a file that is
// another kind of file, as a JPEG beside the raw files, or a folder): it
// cannot be read (it crashed its first reading, it is no regular file, the
// system refuses it, ...) or is empty.
std::optional<std::string> passedFileReason(const std::string& path, const RawIdentity& id) {
    const int code = id.refusal();
    if (code == 0 || code == load_code_for_errno(EISDIR)) return std::nullopt;
    if (!is_unknown_format(code)) return load_error_reason(code);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) return "an empty file";
    return std::nullopt;
}

bool is_folder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Trash or erase one file by the volume rule; false (after telling the user
// with `trashFailure` or `eraseFailure`) when it could not go.
bool trash_or_erase(const std::string& path, bool toTrash, const std::string& trashFailure,
                    const std::string& eraseFailure) {
    std::string error;
    if (toTrash) {
        if (trash()->moveToTrash(path, &error)) return true;
        log_line("%s", error.c_str());
        showAlert("Warning", trashFailure, {"Ok"});
        return false;
    }
    std::error_code ec;
    if (std::filesystem::remove(path, ec)) return true;
    log_line("%s", (ec ? ec.message() : std::string("no such file: ") + path).c_str());
    showAlert("Warning", eraseFailure, {"Ok"});
    return false;
}

}  // namespace

std::optional<std::string> Controller::neighbourFile(const std::string& file, int direction) {
    const std::string folder = deleting_last_path_component(file);
    if (file.empty() || folder.empty()) return std::nullopt;
    const std::vector<std::string> names = folder_entries(folder);
    const auto at = std::find(names.begin(), names.end(), last_path_component(file));
    if (at == names.end()) return std::string();
    if (direction > 0) {
        for (auto it = at + 1; it != names.end(); ++it) {
            const std::string full = appending_path_component(folder, *it);
            if (identify_camera(full.c_str(), nullptr) == 0) return full;
        }
    } else {
        for (auto it = at; it != names.begin();) {
            --it;
            const std::string full = appending_path_component(folder, *it);
            if (identify_camera(full.c_str(), nullptr) == 0) return full;
        }
    }
    return std::string();
}

std::optional<std::string> Controller::nextFileFrom(const std::string&) {
    return neighbourFile(rawProcessor_->fileName(), 1);
}

std::optional<std::string> Controller::previousFileFrom(const std::string&) {
    return neighbourFile(rawProcessor_->fileName(), -1);
}

namespace {

// The names after `name` in the folder's order (direction > 0), or before it,
// the nearest first; nothing when `name` is not among them.
std::vector<std::string> names_beside(const std::vector<std::string>& names, const std::string& name, int direction) {
    const auto at = std::find(names.begin(), names.end(), name);
    if (at == names.end()) return {};
    if (direction > 0) return {at + 1, names.end()};
    return {std::make_reverse_iterator(at), names.rend()};
}

}  // namespace

bool Controller::startNeighbour(int direction) {
    if (isBusy()) return false;
    const std::string open = rawProcessor_->fileName();
    const std::string folder = deleting_last_path_component(open);
    if (open.empty() || folder.empty()) return false;
    if (ui_) ui_->showStatusLine(std::string());
    // On the road's thread: reading a file first (by the probe) takes its time.
    std::shared_ptr<void> road = beginRoad(true);
    return startRoad([this, road, open, folder, direction] {
        const std::vector<std::string> walk = names_beside(folder_entries(folder), last_path_component(open), direction);
        std::vector<BatchNote> passed;
        const bool opened = openFirstReadable(folder, walk, &passed);
        setProgressMT(0);
        tellPassedFiles(passed, opened, direction > 0 ? "Open Next" : "Open Previous", direction);
    });
}

bool Controller::openFirstReadable(const std::string& folder, const std::vector<std::string>& names,
                                   std::vector<BatchNote>* passed) {
    // Every file that cannot be read is stepped past, and named; files of
    // other kinds are passed without a word.
    for (const std::string& name : names) {
        if (threads_.stopRequested()) break;
        const std::string full = appending_path_component(folder, name);
        const RawIdentity id = identify_raw_file(full);
        if (!id.is_raw()) {
            if (std::optional<std::string> why = passedFileReason(full, id)) passed->push_back({full, *why});
            continue;
        }
        setOriginalNonRawFile(std::nullopt);
        int failure = 0;
        if (openFile(full, std::nullopt, &failure)) return true;
        passed->push_back({full, loadFailureReason(failure)});
    }
    return false;
}

void Controller::tellPassedFiles(const std::vector<BatchNote>& passed, bool opened, const char* step,
                                 int direction) {
    if (passed.empty()) return;
    for (const BatchNote& p : passed) log_line("%s passed %s: %s", step, p.file.c_str(), p.text.c_str());
    runOnMainQueueWhileAlive([this, passed, opened, direction] { showPassedFiles(passed, opened, direction); });
}

void Controller::showPassedFiles(const std::vector<BatchNote>& passed, bool opened, int direction) {
    if (!ui_) return;
    std::string names, details;
    for (const BatchNote& p : passed) {
        names += (names.empty() ? "" : ", ") + last_path_component(p.file);
        details += (details.empty() ? "" : "\n") + p.file + ": " + p.text;
    }
    std::string line = passed.size() == 1
                           ? "Passed " + names + ": " + passed.front().text
                           : "Passed " + std::to_string(passed.size()) + " files that cannot be read: " + names;
    const std::string none = direction > 0 ? "No next file could be opened. " : "No previous file could be opened. ";
    if (!opened) line = none + line;
    ui_->showStatusLine(line, details);
    // The names and reasons above the open file's text.
    const std::string info = rawProcessor_->fileName().empty() ? std::string() : cameraInfo();
    ui_->showInfoText((opened ? "" : none) + "Passed, as they cannot be read:\n" + details +
                      (info.empty() ? "" : "\n\n" + info));
}

void Controller::openNextFile() { startNeighbour(1); }

void Controller::openPreviousFile() { startNeighbour(-1); }

void Controller::moveCurrentFileToTrash() {
    const std::string file = rawProcessor_->fileName();
    if (!file.empty()) moveToTrashFile(file);
}

bool Controller::moveToTrashFile(const std::string& path) {
    if (isBusy()) return false;
    const bool toTrash = isOnLocalVolume(path);
    const std::string name = last_path_component(path);
    // Option skips the question of the Trash, never that of erasing for good.
    if (!(toTrash && (currentModifierFlags() & kAlternateKeyMask))) {
        const int answer =
            toTrash ? showAlert("Warning", "Are you sure that you want to move " + name + " to Trash?",
                                {"Cancel", "Move to Trash"})
                    : showAlert("Warning", "Are you sure that you want to permanently erase " + name + "?",
                                {"Cancel", "Permanently erase"});
        if (answer != 1001) return false;
    }
    // The files around it, as they are before it goes: the next readable
    // one opens, else the previous one, as Open Next and Open Previous step.
    const std::string folder = deleting_last_path_component(path);
    const std::vector<std::string> names = folder.empty() ? std::vector<std::string>() : folder_entries(folder);
    const std::vector<std::string> after = names_beside(names, name, 1), before = names_beside(names, name, -1);
    if (!trash_or_erase(path, toTrash, "Can't move " + path + " to Trash", "Can't erase " + path)) return false;
    setOriginalNonRawFile(std::nullopt);
    if (ui_) ui_->showStatusLine(std::string());
    std::shared_ptr<void> road = beginRoad(true);
    startRoad([this, road, folder, after, before] {
        std::vector<BatchNote> passed;
        int direction = 1;
        bool opened = openFirstReadable(folder, after, &passed);
        if (!opened) {
            direction = -1;
            opened = openFirstReadable(folder, before, &passed);
        }
        setProgressMT(0);
        if (!opened) runOnMainQueueWhileAlive([this] { showNoFile(); });
        tellPassedFiles(passed, opened, "Move to Trash", direction);
    });
    return true;
}

void Controller::moveCurrentProfileToTrash() {
    if (isBusy()) return;
    const std::string p = rawProcessor_->customRawProfile();
    if (p.empty() || p[0] != '/') return;
    const bool toTrash = isOnLocalVolume(p);
    const std::string name = last_path_component(p);
    const int answer =
        toTrash ? showAlert("Warning", "Are you sure that you want to move \n\"" + name + "\" to Trash?",
                            {"Cancel", "Move to Trash"})
                : showAlert("Warning", "Are you sure that you want to permanently erase \n\"" + name + "\"?",
                            {"Cancel", "Permanently erase"});
    if (answer != 1001) return;
    if (!trash_or_erase(p, toTrash, "Can't move \n" + p + "\n to Trash", "Can't erase \n" + p)) return;
    createProfileMenu();
    setCustomCameraProfile("Default");
    if (ui_ && !ui_->disableAutoApply()) ui_->apply(std::string());
}

void Controller::runAWBLock() {
    OpenPanelRequest request;
    request.allowsMultipleSelection = true;
    request.canChooseFiles = false;
    request.canChooseDirectories = true;
    request.startPath = rawProcessor_->fileName();
    std::optional<std::vector<std::string>> chosen = runOpenPanel(request);
    if (!chosen) return;
    const std::vector<std::string> firsts = createDefaultsWithLockedAWBForDirs(*chosen);
    std::string list = "(";
    for (std::size_t i = 0; i < firsts.size(); ++i) list += (i ? ", " : "") + firsts[i];
    log_line("AWB List: %s)", list.c_str());
}

std::vector<std::string> Controller::createDefaultsWithLockedAWBForDirs(const std::vector<std::string>& dirs) {
    std::vector<std::string> folders;
    for (const std::string& d : dirs) {
        const std::string path = pathFromFileURL(d);
        if (is_folder(path)) folders.push_back(path);
    }
    std::vector<std::string> files = expandPaths(folders);
    std::sort(files.begin(), files.end(), FileNameOrder{current_locale()});

    RawProcessor r;
    const std::string profileFolder = userProfileFolder(applicationSupportFolder());
    std::set<std::string> finished;
    std::vector<std::string> firsts;
    for (const std::string& f : files) {
        const std::string d = enclosingFolderWithSlash(f);
        if (finished.count(d)) continue;
        const std::optional<AutoWhiteBalance> a = r.calcAWBFromRawFile(f);
        if (!a) continue;
        log_line("First file {R = %g; G1 = %g; B = %g; G2 = %g; camera = \"%s\"; }", a->R, a->G1, a->B, a->G2,
                 a->camera.c_str());
        firsts.push_back(f);
        r.setFileName(d);
        r.setCamera(a->camera);
        r.setDestinationFile("");
        if (std::optional<HistoryMO> def = directoryDefault(&r)) {
            r.setSettings(def->keyValueSource());
            if ((def = directoryDefault(&r))) r.setSettings(def->keyValueSource());
        } else {
            r.resetToDefaults(false);
        }
        const std::string profile = custom_profile_value(r.customRawProfile(), profileFolder);
        if (profile != r.customRawProfile()) r.setCustomRawProfile(profile);
        if (r.useCameraWB() == 1) {
            r.setEvRed(a->R);
            r.setEvGreen(a->G1);
            r.setEvBlue(a->B);
            r.setEvGreen2(a->G2);
            HistoryMO record = historyRecordFromSettings(r, d, r.destinationFile(),
                                                         "Custom WB is set as Auto WB from " + f);
            // The EVs as they are: a custom balance.
            record.setValueForKey("reservedString1", "0");
            writeHistory(
                "Controller::createDefaultsWithLockedAWBForDirs",
                [&](HistoryStore::Transaction& t) { return t.insert(record); }, "Could not save changes to history");
        }
        finished.insert(d);
    }
    return firsts;
}

}  // namespace dvk
