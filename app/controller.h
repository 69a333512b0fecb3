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
//   controller_delegate.cpp      launch and quit steps, the update check, open events and drops
//   controller_settings_files.cpp  settings to the clipboard and to files, multiple export and import
//   controller_presets.cpp       presets and the settings selector
//   controller_maintenance.cpp   cleaning the history, renaming sources, the file search
//   controller_menus.cpp         the "Profiles" menu, the filters and white-balance
//                                pop-ups, the white-balance preset window
//   controller_profiling.cpp     the camera-profiling panel (ProfilingWorkflow)
// Windows stay out of it: they implement ControllerUi and call in.
//
// Threads: the window actions run on the main thread. The history writer,
// directoryDefault and expandFileList may run on any thread (each thread uses
// its own store connection); alerts from a worker wait for the main thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/activity.h"
#include "app/controller_roads.h"
#include "app/delegate_defaults.h"
#include "app/file_search.h"
#include "app/history_list.h"
#include "app/history_record.h"
#include "app/history_store.h"
#include "app/open_events.h"
#include "app/owned_threads.h"
#include "app/presets.h"
#include "app/profile_menu.h"
#include "app/settings_selector.h"
#include "app/update_check.h"
#include "pipeline/processor/raw_processor.h"

namespace dvk {

class ControllerUi;
class FiltersButtonView;
class PreviewController;
class ProfilingWorkflow;
class UserDefaults;
class WbButtonView;

struct ControllerOptions {
    std::string supportFolder;  // "" : the user's support folder ($XDG_DATA_HOME/DVK)
    HistoryStore::Options store;
    UserDefaults* defaults = nullptr;  // null: UserDefaults::standard()
    FileSearchOptions search;          // where moved files are looked for
};

// The answer to a request to quit.
enum class TerminateReply { Cancel = 0, Now = 1, Later = 2 };
// The answer to an open event.
enum class OpenReply { Success = 0, Failure = 2 };

// The rename-source panel's state: the two combo boxes (items and text).
struct RenameSourceState {
    std::vector<std::string> replaceItems;
    std::string replaceText;
    std::vector<std::string> replacementItems;
    std::string replacementText;
    bool searching = false;  // the search for moved files is still running
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
    // cannot be opened), migrates a version 1 history, fills the history list,
    // builds the presets menu, runs applicationDidFinishLaunching; then marks
    // the launch finished for the activity record.
    void launch();
    // Work in progress (open, save, batch, tag copy hold a token while they run).
    ActivityTracker& activity() { return activity_; }
    // The open and batch roads (see controller_roads.h).
    void setRoads(ControllerRoads roads) { roads_ = std::move(roads); }
    ControllerRoads& roads() { return roads_; }
    // --- the busy test (controller_busy.cpp) -----------------------------------
    // True while a load, save or batch runs. Open events, drops, presets and
    // the history window's batch do nothing while busy. Main thread.
    bool isBusy() const;
    UserDefaults& defaults() const;

    // --- application delegate (controller_delegate.cpp) -----------------------
    // Starts the update check on a thread of its own when it is switched on.
    void applicationWillFinishLaunching(UpdateRequester requester);
    // The launch steps: the mode line, editors, preference items, the
    // white-balance step, the settings selector, completeBatch and the
    // command-line files, drops.
    void applicationDidFinishLaunching();
    // Whether quitting may go ahead now. While an open, save, batch or tag
    // copy runs the answer is Later: a batch is postponed and the windows'
    // terminate() runs again when the work has ended.
    TerminateReply applicationShouldTerminate();
    // The last step of quitting: logs "DVK quit".
    void applicationWillTerminate();
    // application:openFile: opens one file at once (false while busy).
    bool applicationOpenFile(const std::string& path);
    // application:openFiles: gathers the paths for 250 ms; Failure while busy.
    OpenReply applicationOpenFiles(const std::vector<std::string>& paths);
    // _application:openFiles: the gathered request, expanded: one file opens
    // (a TIFF or JPEG traced back to its raw file), several (or one with Shift
    // and Control held) run as a new batch; nothing for no file.
    void openGatheredFiles(const std::vector<std::string>& paths);
    // performDragOperation: expands the dropped paths and keeps the files the
    // raw decoder identifies (on a worker), then takes the road of open events.
    void performDragOperation(const std::vector<std::string>& paths);
    // The external editors (paths) and the chosen pop-up item (0: "Don't
    // open", n: editors[n - 1]), read at launch and written at quit.
    std::vector<std::string>& editors() { return editors_; }
    std::int64_t currentEditor() const { return currentEditor_; }
    void setCurrentEditor(std::int64_t item) { currentEditor_ = item; }
    // The command-line files of the launch (absolute).
    std::vector<std::string> commandLineFiles() const;

    // --- settings to the clipboard and files (controller_settings_files.cpp) ----
    // "Export Settings": the unfiltered settings beside the output file; any
    // other title: the filtered settings onto the clipboard.
    void copySettings(const std::string& senderTitle);
    void exportSettingsAs();
    void pasteSettings();
    void exportMultipleSettings();
    void importMultipleSettings();

    // --- presets and the settings selector (controller_presets.cpp) -----------
    std::string getPresetFileFromName(const std::string& name) const;
    void createPresetsMenu();
    const PresetsMenu& presetsMenu() const { return presetsMenu_; }
    // The presets pop-up chose the item at `index`.
    void presetSelected(std::size_t index);
    // The new-preset window's button; false keeps the window open.
    bool closePresetWindow(const std::string& buttonTitle, const std::string& presetName);
    void showSettingSelectorWindow();
    void closeSettingsSelectorWindow(const std::string& buttonTitle);
    SettingsSelector& settingsSelector() { return settingsSelector_; }
    void restoreDisabledSettings();
    void saveDisabledSettings();
    void setDisabledSettings();

    // --- history maintenance (controller_maintenance.cpp) -----------------------
    void cleanHistory();
    void clearDestinationFile();
    void runBatchWithSelection();
    void renameSource();
    // The rename panel's buttons: tag 0 cancels; false keeps the panel open.
    bool renameSourceButton(int tag);
    RenameSourceState& renameSourceState() { return renameSource_; }
    void openReplacementButtonPressed();
    bool replacementPathExists() const;
    // The search for moved files (searchForFile: with nullopt empties its cache).
    std::vector<FileSearchHit> searchForFile(const std::optional<std::string>& path);
    std::vector<FileSearchHit> searchForFiles(const std::vector<std::string>& paths);
    FileSearch& fileSearch() { return fileSearch_; }

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

    // --- camera-profile menu, filters and white-balance pop-ups (controller_menus.cpp)
    // The window's views of the menus (each may be null: nothing is shown)
    // and the modal run of the preset window titled `title`.
    struct MenuViews {
        ProfileMenuView* profiles = nullptr;
        FiltersButtonView* filters = nullptr;
        WbButtonView* wb = nullptr;
        std::function<void(const std::string& title)> runWbPresetWindow;
    };
    void setMenuViews(MenuViews views);
    // Where the filters pop-up looks for profiles other tools leave ("/tmp").
    void setFilterProfileRoot(std::string root);
    // createProfileMenu (and the createProfileMenu: action), main thread.
    void createProfileMenu();
    // setCustomCameraProfile: with a menu item's title or a name ("Default",
    // a profile file's name, a built-in name); once the apply worker is idle.
    void setCustomCameraProfile(const std::string& name, ProfileSender sender = ProfileSender::Name);
    // updateFiltersButton, and the tag the filters pop-up shows.
    void updateFiltersButton();
    long selectedFilterTag() const;
    // initWbButton with the open file's exiftool text (the open thread, or main).
    void initWbButton(const std::string& cameraInfo);
    // setWBToCustom: (main thread), and useAsShotWBisChanged: (the pop-up's
    // action after its mode was set: developed again for modes 1 and up).
    void setWBToCustom();
    void useAsShotWBisChanged();
    // showCreateWBPresetWindow: with the menu item's tag (100 create, 101 delete).
    void showCreateWBPresetWindow(int tag);
    // closeCreateWBPresetWindow: the preset window's button; `done` gets
    // whether the window closes (false: it stays open), once the apply
    // worker is idle (at once when it is).
    void closeCreateWBPresetWindow(const std::string& buttonTitle, const std::string& typedName,
                                   std::function<void(bool close)> done);

    // --- camera profiling (controller_profiling.cpp) -----------------------------
    // The profiling panel's workflow over the open file (made on first use).
    ProfilingWorkflow& profiling();
    // showProfilingWindow: (the menu action).
    void showProfilingWindow();
    // The panel was closed by the user: its close steps.
    void profilingWindowWillClose();
    // The panel's close steps and hiding it, when it is up. The quit (before
    // "Action: Exit") and the open of another file (before the load) call it
    // first. Runs at once while the apply worker is idle, else right after
    // its run, ahead of anything handed to preview().whenIdle later.
    void closeProfilingPanelIfOpen();
    bool profilingPanelVisible() const;

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
    // The one-alert report of settings files that could not be written.
    static void reportFailedWrites(std::size_t count, const std::string& firstPath);
    // The selection of the history list becomes these records (those shown).
    void selectRecords(const std::vector<HistoryMO>& records);
    void showScanned(int count);
    void makePreviewController();

    ControllerOptions options_;
    ControllerUi* ui_ = nullptr;
    std::unique_ptr<RawProcessor> rawProcessor_;
    // After the processor: its worker stops before the processor goes.
    std::unique_ptr<PreviewController> preview_;
    // After the preview: the menus' and profiling state goes first (the
    // profiling workflow waits for a running colprof). Made on first use.
    struct MenusState;
    mutable std::shared_ptr<MenusState> menus_;
    struct ProfilingState;
    std::shared_ptr<ProfilingState> profiling_;
    MenusState& menus() const;
    std::unique_ptr<HistoryStore> store_;
    std::mutex storeMutex_;
    int storeObserver_ = 0;
    HistoryList historyList_;
    ActivityTracker activity_;
    ControllerRoads roads_;
    std::vector<std::string> editors_;
    std::int64_t currentEditor_ = 0;
    OpenEventGatherer openEvents_;
    ActivityTracker::Token gatheringToken_;
    bool quitPending_ = false;
    PresetsMenu presetsMenu_;
    SettingsSelector settingsSelector_;
    RenameSourceState renameSource_;
    FileSearch fileSearch_;
    std::shared_ptr<int> lifeToken_ = std::make_shared<int>(0);
    OwnedThreads workers_;  // last: joined first, while everything they use still exists
};

}  // namespace dvk
