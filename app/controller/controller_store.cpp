// Controller: the support folder and its files, the history store and the
// one-time migration of a version 1 history.
#include <sys/stat.h>

#include "app/controller/controller.h"
#include "app/history/history_migration.h"
#include "platform/alert.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/user_defaults.h"

namespace dvk {

namespace {

void make_folder_with_parents(const std::string& folder) {
    for (std::size_t i = 1; i <= folder.size(); ++i)
        if (i == folder.size() || folder[i] == '/') mkdir(folder.substr(0, i).c_str(), 0755);
}

// The program's file name ("dvk").
std::string program_name() {
    const auto& arguments = Controller::arguments();
    std::string name = arguments.empty() ? std::string() : arguments.front();
    std::size_t slash = name.rfind('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
    return name.empty() ? std::string("dvk") : name;
}

}  // namespace

std::string Controller::applicationSupportFolder() const {
    return options_.supportFolder.empty() ? dvk::applicationSupportFolder() : options_.supportFolder;
}

std::string Controller::preferencesFile() const { return defaultsFilePath(); }

std::string Controller::batchListFile() const {
    return applicationSupportFolder() + "/DVKBatchList_" + program_name() + ".xml";
}

std::string Controller::batchSavedFile() const {
    return applicationSupportFolder() + "/DVKBatchSaved_" + program_name() + ".xml";
}

std::string Controller::batchMarkerFile() const {
    return applicationSupportFolder() + "/DVKBatchMark_" + program_name() + ".xml";
}

std::string Controller::batchTagsFile() const {
    return applicationSupportFolder() + "/DVKBatchTags_" + program_name() + ".xml";
}

HistoryStore& Controller::persistentStoreCoordinator() {
    std::lock_guard<std::mutex> lock(storeMutex_);
    if (store_) return *store_;
    const std::string folder = applicationSupportFolder();
    make_folder_with_parents(folder);
    store_ = std::make_unique<HistoryStore>(folder + "/DVK2.db", options_.store);
    if (!store_->isOpen()) {
        // Told once; the program runs on without history and leaves the file alone.
        if (options_.tellStoreProblems) {
            log_line("%s %s: %s", "Controller::persistentStoreCoordinator", store_->path().c_str(),
                     store_->openError().c_str());
            tellStoreUnusable("The history could not be opened", store_->path(), store_->openError());
        }
        return *store_;
    }
    // Damage found later closes the store the same way, and is told once too.
    if (options_.tellStoreProblems)
        store_->setDamageHandler([this, path = store_->path()](const std::string& error) {
            tellStoreUnusable("The history is damaged", path, error);
        });
    storeObserver_ = store_->addObserver([this] { runOnMainQueueWhileAlive([this] { reloadHistory(); }); });
    return *store_;
}

void Controller::tellStoreUnusable(const char* title, const std::string& path, const std::string& error) {
    showAlertf(title, {"Ok"}, "%s: %s\n\nDVK runs without history: nothing is recorded and no defaults apply.",
               path.c_str(), error.c_str());
}

sqlite3* Controller::managedObjectContext() { return persistentStoreCoordinator().connection(); }

bool Controller::migrateHistoryVer1ToVer2() {
    HistoryStore& store = persistentStoreCoordinator();
    if (store.isOpen()) dvk::migrateHistoryVer1ToVer2(store, applicationSupportFolder() + "/DVK.db");
    return false;
}

std::string Controller::lastHistoryError() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return lastHistoryError_;
}

void Controller::reloadHistory() {
    HistoryStore& store = persistentStoreCoordinator();
    historyList_.setContent(store.isOpen() ? store.fetchAll() : std::vector<HistoryMO>());
}

}  // namespace dvk
