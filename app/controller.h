// Controller: the application's controller. It owns the history store, the
// history list behind the history window, the RawProcessor of the file on
// screen and the record of running work, and carries the operations of the
// windows and menus by name.
//
// The class is declared here whole and defined over several files, one per
// concern:
//   controller.cpp               construction, launch, quit, shared functions
//   controller_store.cpp         support folder, files, history store, migration
//   controller_history.cpp       history records and defaults (the history window's actions)
//   controller_file_list.cpp     expandFileList
//   controller_preview.cpp       the main window's preview concern: preview and
//                                apply, image view and info panel, histogram and
//                                diagram (PreviewController, preview_controller*.cpp)
// Windows stay out of it: they implement ControllerUi and call in.
//
// Threads: the window actions run on the main thread. The history writer,
// directoryDefault and expandFileList may run on any thread (each thread uses
// its own store connection); alerts from a worker wait for the main thread.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/activity.h"
#include "app/history_list.h"
#include "app/history_record.h"
#include "app/history_store.h"
#include "pipeline/processor/raw_processor.h"

namespace dvk {

class ControllerUi;
class PreviewController;

struct ControllerOptions {
    std::string supportFolder;  // "" : the user's support folder ($XDG_DATA_HOME/DVK)
    HistoryStore::Options store;
};

class Controller {
public:
    explicit Controller(ControllerOptions options = {});
    ~Controller();
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // --- start-up, quit and shared functions (controller.cpp) --------------
    // The process's arguments (main sets them once).
    static void setArguments(int argc, char** argv);
    static const std::vector<std::string>& arguments();
    // An argument beyond the program path puts the program in command-line mode.
    static bool isCommandLineMode();

    void setUi(ControllerUi* ui) { ui_ = ui; }
    ControllerUi* ui() const { return ui_; }

    // The launch work: opens the history store (telling the user once when it
    // cannot be opened), migrates a version 1 history, fills the history list;
    // then marks the launch finished for the activity record.
    void launch();
    // Work in progress (open, save, batch, tag copy hold a token while they run).
    ActivityTracker& activity() { return activity_; }

    // Whether quitting may go ahead now.
    bool applicationShouldTerminate();
    // The last step of quitting: logs "DVK quit".
    void applicationWillTerminate();

    RawProcessor* rawProcessor() const { return rawProcessor_.get(); }
    // Sets the RawProcessor's progress on the main queue (inline there).
    void setProgressMT(double value);
    // The platform's error presentation: an alert with the error's text.
    static void presentError(const std::string& message);

    // --- support folder, files and the history store (controller_store.cpp) -
    std::string applicationSupportFolder() const;
    // The user defaults file ($XDG_CONFIG_HOME/DVK/defaults.plist).
    std::string preferencesFile() const;
    // "<support>/DVKBatchList_<program>.xml", "<support>/DVKBatchSaved_<program>.xml".
    std::string batchListFile() const;
    std::string batchSavedFile() const;
    // The store: made on first use (the support folder with it); it may be
    // closed (see openError()) and then answers nothing and takes nothing.
    HistoryStore& persistentStoreCoordinator();
    // The calling thread's store connection (nullptr when the store is closed).
    sqlite3* managedObjectContext();
    // Copies "DVK.db" of the support folder into the store once (see
    // history_migration.h). Always false, as callers expect nothing of it.
    bool migrateHistoryVer1ToVer2();
    // The history list shown by the history window (main thread).
    HistoryList& historyList() { return historyList_; }
    // Fills the history list from the store again (main thread).
    void reloadHistory();

    // --- history records and defaults (controller_history.cpp) ---------------
    // Records r's settings (nothing when the source is empty, r is null or
    // there is no destination). The record, or nullopt after telling the user.
    std::optional<HistoryMO> addCurrentSettingsToHistoryWithSource(const std::string& source,
                                                                   const std::optional<std::string>& destination,
                                                                   const std::optional<std::string>& comment,
                                                                   RawProcessor* r);
    // Records the open file's settings ("Action: Manual" without a comment)
    // and selects the record; answers it (nullopt: nothing recorded).
    std::optional<HistoryMO> addToHistory(const std::optional<std::string>& comment = std::nullopt);
    // Copies the one selected record onto files chosen in the open panel.
    void addToHistoryForMany();
    // Applies the selected record to the open file, keeping its destination.
    void reloadWithSelectedHistoryRecord();
    void setFromHistory(const HistoryMO& record);
    void removeFromHistory();
    // The record that serves as r's default (r null: the controller's).
    std::optional<HistoryMO> directoryDefault(RawProcessor* r = nullptr);
    bool areCurrentSettingsDefaultInHistory();
    void setDirectoryDefault();
    void setGlobalCameraDefault();
    // The "set default" action; `senderTitle` is the menu item's title.
    void addToHistoryAndSetDirectoryDefault(const std::string& senderTitle);
    bool selectSettings(const HistoryMO& record);

    // --- the main window's preview (controller_preview.cpp) ------------------------
    // processPreview, apply:, runApplyInThread:, updatePrev, handleNotify:,
    // updateInfoFromX:..., histogram:, diagram:, ... by their names; the
    // window set-up and geometry are the main window's (app/ui/main_window.h).
    PreviewController& preview() { return *preview_; }
    // Opens a file named on the command line until the open road exists: the
    // load on the apply worker, then the road's steps after it (orientation,
    // reset, processPreview, zoom to fit, updatePrev). `done` gets the
    // loader's result (0: shown) on the main thread. Counts as an open for
    // the activity record.
    void openCommandLineFile(const std::string& path, std::function<void(int)> done = {});

    // --- file lists (controller_file_list.cpp) ---------------------------------
    // Every file of a choice of files and folders, sorted, reporting
    // "Scanned %d files" at most once a second.
    std::vector<std::string> expandFileList(const std::vector<std::string>& paths);
    // The files counted by the current expansion (zeroed by the roads that start one).
    static std::atomic<int>& scanCounter();

private:
    // Runs `task` on the main queue while this controller lives.
    void runOnMainQueueWhileAlive(std::function<void()> task);
    bool writeHistory(const char* method, const std::function<bool(HistoryStore::Transaction&)>& body,
                      const char* alertText);
    void makePreviewController();

    ControllerOptions options_;
    ControllerUi* ui_ = nullptr;
    std::unique_ptr<RawProcessor> rawProcessor_;
    // After the processor: its worker stops before the processor goes.
    std::unique_ptr<PreviewController> preview_;
    std::unique_ptr<HistoryStore> store_;
    std::mutex storeMutex_;
    int storeObserver_ = 0;
    HistoryList historyList_;
    ActivityTracker activity_;
    std::shared_ptr<int> lifeToken_ = std::make_shared<int>(0);
};

}  // namespace dvk
