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
#include "pipeline/load/load_raw_file.h"
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

bool Controller::startNeighbour(int direction) {
    if (isBusy()) return false;
    // A neighbour that failed to load (a truncated raw file the decoder
    // identifies) is the position while the file open before stays open:
    // the next step goes past it.
    const std::string open = rawProcessor_->fileName();
    const bool missed = !open.empty() && navigationMiss_.openFile == open && exists_at(navigationMiss_.failed);
    const std::optional<std::string> n = neighbourFile(missed ? navigationMiss_.failed : open, direction);
    if (!n || n->empty()) return false;
    if (*n == open) {
        // Back at the file on screen: nothing to load.
        navigationMiss_ = {};
        return true;
    }
    setOriginalNonRawFile(std::nullopt);
    return startOpen(*n, [this, n = *n](bool opened) {
        if (!opened) navigationMiss_ = {rawProcessor_->fileName(), n};
    });
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
    std::string neighbour = nextFileFrom().value_or(std::string());
    if (neighbour.empty()) neighbour = previousFileFrom().value_or(std::string());
    if (!trash_or_erase(path, toTrash, "Can't move " + path + " to Trash", "Can't erase " + path)) return false;
    setOriginalNonRawFile(std::nullopt);
    if (!neighbour.empty())
        startOpen(neighbour);
    else
        showNoFile();
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
