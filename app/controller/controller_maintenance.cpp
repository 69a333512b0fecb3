// Controller: tidying the history. Records of vanished files, destinations,
// a batch over the selection, and sources that have moved.
#include <ctime>
#include <set>

#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/batch/file_list.h"
#include "app/history/history_defaults.h"
#include "app/history/history_maintenance.h"
#include "platform/alert.h"
#include "platform/log.h"
#include "platform/panels.h"
#include "platform/url_opener.h"

namespace dvk {

void Controller::selectRecords(const std::vector<HistoryMO>& records) {
    std::vector<std::size_t> indexes;
    for (const HistoryMO& r : records) {
        long i = historyList_.indexOfObjectWithID(r.objectID());
        if (i >= 0) indexes.push_back(static_cast<std::size_t>(i));
    }
    historyList_.setSelectionIndexes(indexes);
}

void Controller::showScanned(int count) {
    if (!ui_) return;
    ui_->showInfoText(formatString("Scanned %d files", count));
    ui_->displayMainWindow();
}

void Controller::cleanHistory() {
    OpenPanelRequest request;
    request.startPath = rawProcessor_->fileName();
    request.canChooseFiles = false;
    request.canChooseDirectories = true;
    std::optional<std::vector<std::string>> folders = runOpenPanel(request);
    if (!folders || folders->empty()) return;
    if (showAlertf("Clean History from erased files", {"Continue", "Cancel"},
                   "You are about to delete records for non-existing files and directories from History:\n%s",
                   describePathList(*folders).c_str()) != 1000)
        return;

    HistoryStore& store = persistentStoreCoordinator();
    std::vector<std::int64_t> ids;
    std::set<std::int64_t> seen;
    for (const std::string& folder : *folders) {
        std::string error;
        for (const HistoryMO& r : recordsOfVanishedFiles(store, folder, pathExists, &error))
            if (seen.insert(r.objectID()).second) ids.push_back(r.objectID());
        if (!error.empty()) log_line("%s %s", "Controller::cleanHistory", error.c_str());
    }
    // One transaction: all of them go, or none.
    if (!ids.empty()) {
        std::string error;
        const bool ok = store.write(
            [&](HistoryStore::Transaction& t) {
                for (std::int64_t id : ids)
                    if (!t.remove(id)) return false;
                return true;
            },
            &error);
        if (!ok) {
            log_line("%s %s", "Controller::cleanHistory", error.c_str());
            presentError(error);
            showAlert(std::nullopt, "Could not delete records from History", {"Ok"});
            return;
        }
    }
    showAlertf(std::nullopt, {"Ok"}, "Cleaned %d records for non-existing files and directories",
               static_cast<int>(ids.size()));
}

void Controller::clearDestinationFile() {
    std::vector<HistoryMO> selected = historyList_.selectedObjects();
    if (selected.empty()) {
        showAlert("Wrong selection", "Please select one or more records", {"Ok"});
        return;
    }
    if (showAlertf("Warning", {"Continue", "Cancel"},
                   "You are about to clear Destination File field of %d selected records at once",
                   static_cast<int>(selected.size())) != 1000)
        return;
    writeHistory(
        "Controller::clearDestinationFile",
        [&](HistoryStore::Transaction& t) {
            for (HistoryMO& r : selected) {
                r.setValueForKey("destinationFile", std::string());
                if (!t.update(r)) return false;
            }
            return true;
        },
        "Could not save changes to history");
}

void Controller::runBatchWithSelection() {
    // Nothing may load or convert with the open file's processor meanwhile.
    if (isBusy()) {
        log_line("Batch: busy, the selection is not run");
        return;
    }
    scanCounter() = 0;
    showScanned(0);
    std::vector<HistoryMO> selected = historyList_.selectedObjects();
    if (selected.empty()) {
        showAlert("Wrong selection", "Please select one or more records", {"Ok"});
        setProgressMT(0);
        scanCounter() = 0;
        return;
    }
    std::vector<BatchItem> items;
    long long lastReport = static_cast<long long>(std::time(nullptr));
    for (const HistoryMO& record : selected) {
        const std::string source = record.sourceFile();
        if (source == "/") {
            log_line("Batch: ignoring source %s", source.c_str());
            continue;
        }
        if (!source.empty() && source.back() == '/') {
            for (std::string& f : expandFileList({source}))
                items.push_back(BatchItem::withSettings(std::move(f), record));
            continue;
        }
        items.push_back(BatchItem::record(record));
        ++scanCounter();
        const long long now = static_cast<long long>(std::time(nullptr));
        if (now > lastReport) showScanned(scanCounter());
    }
    if (items.empty()) {
        showAlert("Wrong selection", "Couldn't find any files in selection", {"Ok"});
        setProgressMT(0);
        scanCounter() = 0;
        return;
    }
    // The batch marks itself busy when it begins.
    deleteBatchSaved();
    runBatchInThread(std::move(items));
    scanCounter() = 0;
}

void Controller::renameSource() {
    std::vector<HistoryMO> selection;
    for (HistoryMO& r : historyList_.selectedObjects())
        if (!pathExists(r.sourceFile())) selection.push_back(std::move(r));
    selectRecords(selection);

    std::vector<std::string> sources;
    for (const HistoryMO& r : selection) sources.push_back(r.sourceFile());
    renameSource_ = RenameSourceState();
    renameSource_.replaceItems = processPaths(sources);
    if (!renameSource_.replaceItems.empty()) renameSource_.replaceText = renameSource_.replaceItems.front();

    if (selection.empty()) {
        showAlert("Empty selection", "Please select one or more records with missing source (gray or orange)", {"Ok"});
        return;
    }
    // The search may take seconds: the panel shows its hits when they come.
    renameSource_.searching = true;
    threads_.start([this, sources] {
        std::vector<FileSearchHit> hits = fileSearch_.searchForFiles(sources);
        std::vector<std::string> paths;
        for (const FileSearchHit& h : hits) paths.push_back(h.path);
        std::vector<std::string> folders = processPaths(paths);
        runOnMainQueueWhileAlive([this, folders] {
            renameSource_.replacementItems = folders;
            if (renameSource_.replacementText.empty() && !folders.empty())
                renameSource_.replacementText = folders.front();
            renameSource_.searching = false;
            if (ui_) ui_->renameSourcePanelChanged();
        });
    });
    if (ui_) ui_->runRenameSourcePanel();
}

bool Controller::renameSourceButton(int tag) {
    if (tag == 0) return true;
    const std::string replace = renameSource_.replaceText;
    const std::string replacement = renameSource_.replacementText;
    if (replace.empty() || replacement.empty()) {
        showAlert("Missing parameters", "Both fields must be defined", {"Ok"});
        return false;
    }
    std::vector<HistoryMO> renamed, unchanged;
    for (HistoryMO& r : historyList_.selectedObjects()) {
        const std::string s = r.sourceFile();
        std::optional<std::string> t = replacedSource(s, replace, replacement);
        if (!t) {
            unchanged.push_back(std::move(r));
            continue;
        }
        if (renameAllowed(s, *t, pathExists)) {
            r.setValueForKey("sourceFile", *t);
            renamed.push_back(std::move(r));
        } else {
            log_line("Will not rename [%s] to [%s]", s.c_str(), t->c_str());
            unchanged.push_back(std::move(r));
        }
    }
    if (!renamed.empty() && !writeHistory(
                                "Controller::renameSourceButton",
                                [&](HistoryStore::Transaction& t) {
                                    for (const HistoryMO& r : renamed)
                                        if (!t.update(r)) return false;
                                    return true;
                                },
                                "Could not save changes to history"))
        return true;
    reloadHistory();
    selectRecords(unchanged);
    return true;
}

void Controller::openReplacementButtonPressed() {
    const std::string& path = renameSource_.replacementText;
    if (path.empty()) return;
    // The folder of a file, or the folder itself.
    const std::string folder = path.back() == '/' ? path : enclosingFolderWithSlash(path);
    url_opener()->openUrl(fileUrlForPath(folder));
}

bool Controller::replacementPathExists() const { return pathExists(renameSource_.replacementText); }

std::vector<FileSearchHit> Controller::searchForFile(const std::optional<std::string>& path) {
    if (!path) {
        fileSearch_.clear();
        return {};
    }
    return fileSearch_.searchForFile(*path);
}

std::vector<FileSearchHit> Controller::searchForFiles(const std::vector<std::string>& paths) {
    return fileSearch_.searchForFiles(paths);
}

}  // namespace dvk
