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
//   controller_file_list.cpp     expandFileList, chooseFilesFromOpenFile
//   controller_busy.cpp          the busy test the roads and open events share
//   controller_open.cpp          the open road: choosing, tracing, loading a file
//   controller_save.cpp          saving the open file and the after-save actions
//   controller_batch.cpp         batches and their resumption
//   controller_navigation.cpp    next and previous file, trash, the AWB lock
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
// Loads, saves and batches (the roads), and the delegate's and maintenance's
// workers, run on threads the controller owns (one OwnedThreads, joined
// before anything they use goes). While a road runs the controller is busy
// (isBusy) and no other starts, so one thread at a time uses the
// controller's RawProcessor. Settings of that RawProcessor are changed on the
// main thread; the roads' threads load into it and develop it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/common/activity.h"
#include "app/batch/batch_journal.h"
#include "app/batch/batch_report.h"
#include "app/controller/delegate_defaults.h"
#include "app/history/file_search.h"
#include "app/history/history_list.h"
#include "app/history/history_record.h"
#include "app/history/history_store.h"
#include "app/controller/open_events.h"
#include "app/common/owned_threads.h"
#include "app/menus/presets.h"
#include "app/menus/profile_menu.h"
#include "app/menus/settings_selector.h"
#include "app/desktop/tag_copy_threads.h"
#include "app/desktop/update_check.h"
#include "pipeline/processor/raw_processor.h"

namespace dvk {

class ControllerUi;
class FiltersButtonView;
class PreviewController;
class ProfilingWorkflow;
class TagCopyLedger;
class UserDefaults;
class WbButtonView;

// One item of a batch: a raw file with its default settings (a path), or
// with the settings of a history record (the record's own source, or another
// file's, as the history window's batch of a folder default gives).
struct BatchItem {
    std::string sourceFile;
    std::optional<HistoryMO> settings;

    static BatchItem path(std::string p) { return {std::move(p), std::nullopt}; }
    static BatchItem record(const HistoryMO& r) { return {r.sourceFile(), r}; }
    static BatchItem withSettings(std::string source, const HistoryMO& r) { return {std::move(source), r}; }
};

// What converting one item of a batch came to: written; skipped (gone, or no
// longer a raw file); unreadable (the file fails to load); postponed (what
// the user can mend: a folder that cannot be written, memory). Skipped and
// unreadable files are named at the end of the batch.
enum class BatchConvertResult { Written, Skipped, Unreadable, Postpone };

struct ControllerOptions {
    std::string supportFolder;  // "" : the user's support folder ($XDG_DATA_HOME/DVK)
    HistoryStore::Options store;
    UserDefaults* defaults = nullptr;  // null: UserDefaults::standard()
    FileSearchOptions search;          // where moved files are looked for
    // The launch opens the files named on the command line (false: the
    // caller opens them itself, as the screenshot hook does).
    bool openCommandLineFiles = true;
    // A store that cannot be opened, is found damaged or refuses a write is
    // told in an alert (and the log). False: the caller (a command-line
    // tool) says so in its own words; nothing is shown or logged, and a
    // write's error is kept for lastHistoryError().
    bool tellStoreProblems = true;
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
    // While a dialog or panel is up (a modal session) the paths are held,
    // and the gathering starts when it closes.
    OpenReply applicationOpenFiles(const std::vector<std::string>& paths);
    // _application:openFiles: the gathered request, by the open road's
    // openRequest (files that do not exist are said in the info text). It
    // waits while a dialog or panel is up, or a road began meanwhile.
    void openGatheredFiles(const std::vector<std::string>& paths);
    // performDragOperation: expands the dropped paths and keeps the files the
    // raw decoder identifies (on a worker), then takes the road of open events.
    void performDragOperation(const std::vector<std::string>& paths);
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
    // SQLite's error of the last history write that failed ("" when none has).
    std::string lastHistoryError() const;

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

    // --- the busy test (controller_busy.cpp) -----------------------------------
    // True while a load, save or batch runs (a road of this controller, or
    // any work that set the RawProcessor's progress neither 0 nor complete).
    // Open, Save As, Next, Previous, the file trash action, open events,
    // drops, presets and the history window's batch do nothing while busy.
    // Main thread.
    bool isBusy() const;
    // True while an open or a batch uses the controller's RawProcessor on
    // its thread (a save works on its own). Main thread.
    bool rawProcessorInUse() const;
    // Runs `task` now, or on the main thread once no open or batch uses the
    // RawProcessor any more (the window's apply runs wait so). Main thread.
    void whenRawProcessorFree(std::function<void()> task);
    // --- the main window's preview (controller_preview.cpp) ------------------------
    // processPreview, apply:, runApplyInThread:, updatePrev, handleNotify:,
    // updateInfoFromX:..., histogram:, diagram:, ... by their names; the
    // window set-up and geometry are the main window's (app/ui/main_window/main_window.h).
    PreviewController& preview() { return *preview_; }
    // Opens one file by the open road (a TIFF or JPEG traced back) for the
    // screenshot hook; `done` gets 0 once it is shown, 1 when it could not be
    // opened (main thread).
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
    std::string filterProfileRoot() const;
    // createProfileMenu (and the createProfileMenu: action), main thread.
    void createProfileMenu();
    // No "Profiles" menu (no file open), main thread.
    void removeProfileMenu();
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

    // --- the open road (controller_open.cpp) -------------------------------------
    // The Open command (main thread): the open panel, then one file opened on
    // a thread (Shift+Control held: a batch of one) or several as a batch.
    void selectFile();
    // A request of files to open (the files named at launch, the gathered open
    // events; main thread): the busy mark set, the paths expanded, one file
    // (traced back when it is a TIFF or JPEG) opened on a thread, several (or
    // one with Shift+Control) run as a new batch. False when nothing started.
    bool openRequest(const std::vector<std::string>& paths);
    static bool isSettingsFile(const std::string& path);
    // The raw file behind a TIFF or JPEG (nullopt when none, or for other
    // files); sets originalNonRawFile and tells the info text (not for other files).
    std::optional<std::string> getRAWPathForTiffJpeg(const std::string& path);
    // Opens `path` on a thread of the controller's (main thread). False, and
    // nothing done, while busy.
    // `done` (may be empty) gets openFile's answer on the main thread once the
    // road has ended (not when it did not start).
    bool startOpen(const std::string& path, std::function<void(bool opened)> done = {});
    // The thread's work: openFile with no settings, then the progress back to 0.
    void openFileInThread(const std::string& path);
    // The open road proper (a road's thread, or the caller's while it holds
    // the busy mark): a settings file is imported onto the open file; a raw
    // file is loaded, and only when that succeeds replaces the open file, its
    // metadata read, `settings` (else its default) applied, the history
    // filtered for it and its preview developed. With `loadFailure`, a raw
    // file that cannot be loaded (or is gone) is not told in an alert: its
    // code goes there (navigation passes such files and names them).
    bool openFile(const std::string& path, const std::optional<HistoryMO>& settings, int* loadFailure = nullptr);
    // Opens a record's source file with the record's settings (not for defaults).
    void setFromHistoryAndOpen(const HistoryMO& record);
    std::optional<std::string> originalNonRawFile() const;
    void setOriginalNonRawFile(const std::optional<std::string>& path);
    // The exiftool text of the open file ("" : none).
    std::string cameraInfo() const;
    // The preview's size after orientation, as loaded.
    unsigned width() const { return width_.load(); }
    unsigned height() const { return height_.load(); }
    // Files opened this session, most recent first (main thread).
    const std::vector<std::string>& recentDocuments() const { return recentDocuments_; }

    // --- saving (controller_save.cpp) -------------------------------------------------
    // Save (Command-S): checks the destination, then saves on a thread.
    void saveFile();
    // Save As: the save panel, a new destination, then saves on a thread
    // (overwriting the chosen file). Nothing while busy.
    void saveFileAs();
    // Starts runSaveInThread: the save's own RawProcessor made with the
    // settings on screen, the progress following it (main thread). False when
    // no file is open or no thread could start.
    bool startSave(bool saveAs);
    // Rebuilds the editors pop-up from `editors` (dropping repeated editors).
    void initEditorsButton();
    // The external editors (paths) and the chosen pop-up item (0: "Don't
    // open", n: editors[n - 1]). Main thread; the delegate reads and writes
    // them with the user defaults "Editors" and "SelectedEditor".
    std::vector<std::string>& editors() { return editors_; }
    std::int64_t currentEditor() const { return currentEditor_; }
    void setCurrentEditor(std::int64_t item) { currentEditor_ = item; }
    // The "EnableOpt" preference: saves run with the Lab optimisation.
    bool enableLabOptimize() const { return enableLabOptimize_.load(); }
    void setEnableLabOptimize(bool on) { enableLabOptimize_ = on; }
    // The tag copies started after saves and batch files.
    TagCopyThreads& tagCopies() { return tagCopies_; }
    // Starts a tag copy that counts as running work; `ended` (may be empty)
    // runs on the copy's thread once it has ended.
    void startTagCopy(const TagCopyRequest& request, std::function<void()> ended = {});
    // A batch's tag copy, noted on disk until it ends (see tag_copy_ledger.h);
    // `noted`: the note is there already (a copy run again).
    void startNotedTagCopy(const TagCopyRequest& request, bool noted = false);
    // At launch: the batch tag copies a kill cut off, run again; those whose
    // files are gone are forgotten.
    void resumeTagCopies();

    // --- batches (controller_batch.cpp) ---------------------------------------------
    // runBatchInThread: on a thread of the controller's (main thread): the
    // busy mark set, then batchRunner. Callers test isBusy first (the history
    // window's batch action too). False when no thread could start.
    // `report` holds what a resumed batch has to name already.
    bool runBatchInThread(std::vector<BatchItem> items, BatchReport report = {});
    // The batch (its thread): the items filtered by camera, confirmed unless
    // in command-line mode, converted one by one with the list kept on disk;
    // every file it does not write, and every stand-in it develops with, goes
    // into `report`, said at its end.
    void batchRunner(std::vector<BatchItem>& items, BatchReport& report);
    // Converts and writes one file with the controller's RawProcessor.
    // With a journal, the item is marked in it before it is loaded and its
    // output before it is written; with a report, a file not written and a
    // stand-in used are noted there.
    BatchConvertResult batchConvert(const std::string& source, const std::optional<HistoryMO>& settings,
                                    BatchJournal* journal = nullptr, BatchReport* report = nullptr);
    // At the end of a batch: what it did not do as asked, in the log (and,
    // in command-line mode, on the standard error it was started with) and,
    // unless the program quits, in an alert.
    void reportBatch(const BatchReport& report);
    // At launch: offers to resume a pending batch ("Proceed", "Later", "Forget it").
    void completeBatch();
    // The Cancel button during a batch: "Cancel" ends it, any other title
    // postpones it; the running file is finished first.
    void clickCancel(const std::string& senderTitle);
    int cancelCount() const { return cancelCount_.load(); }
    // In command-line mode: a batch left files it was given unwritten (the
    // program's exit status says so).
    bool commandLineFilesNotWritten() const { return commandLineFilesNotWritten_.load(); }
    // Removes the list of files written by batches.
    void deleteBatchSaved();
    // The main window back to its empty size.
    void resetFrame();
    // The settings of an empty start, whatever the last file or batch left:
    // what the empty window shows (no custom profile, automatic white
    // balance with EVs 0, the start's interpolation and save format, ...).
    // Main thread, with no develop of the preview running.
    void resetToStartSettings();
    // "<support>/DVKBatchMark_<program>.xml": the output a batch is writing.
    std::string batchMarkerFile() const;
    // "<support>/DVKBatchTags_<program>.xml": the batch's tag copies not yet ended.
    std::string batchTagsFile() const;
    BatchJournal batchJournal() const;

    // --- navigation, trash and the AWB lock (controller_navigation.cpp) ------------------
    // The next / previous raw file of the open file's folder, in the order of
    // file names ("" : none; nullopt without an open file). `path` is not used.
    std::optional<std::string> nextFileFrom(const std::string& path = {});
    std::optional<std::string> previousFileFrom(const std::string& path = {});
    // Opens the next / previous raw file on a thread (nothing while busy),
    // stepping past every file that cannot be read: those are named in the
    // log, the status line and the info text (no alert); with none that can
    // be opened, the open file stays.
    void openNextFile();
    void openPreviousFile();
    void moveCurrentFileToTrash();
    // Asks (unless Option is held and the file goes to the Trash), trashes or
    // erases the file and opens its neighbour, or empties the window when it
    // has none. False when cancelled or when the file could not go.
    bool moveToTrashFile(const std::string& path);
    // Trashes or erases the custom camera profile in use.
    void moveCurrentProfileToTrash();
    // The folder panel, then createDefaultsWithLockedAWBForDirs.
    void runAWBLock();
    // For each folder below `dirs`, its first raw file's automatic balance
    // made the folder's default (when its default leaves the balance
    // automatic); answers the first raw file of each folder handled.
    std::vector<std::string> createDefaultsWithLockedAWBForDirs(const std::vector<std::string>& dirs);

    // Waits until every thread of the controller's has ended (main thread:
    // the main queue keeps running meanwhile). For tools and tests.
    void waitForRoads();
    // Before the windows go (and in the destructor): a running batch stops
    // after its current file, keeping its list for the next start, the other
    // workers at their next step; every thread of the controller's is waited for.
    void stopRoads();

private:
    // Runs `task` on the main queue while this controller lives.
    void runOnMainQueueWhileAlive(std::function<void()> task);
    // Runs `task` on the main queue and waits (inline on the main thread).
    void onMain(const std::function<void()>& task);
    // A road begins (main thread): the busy mark is set and the road counts
    // as running work until the handle's last copy goes; its end reaches the
    // main queue after everything the road queued there.
    std::shared_ptr<void> beginRoad(bool usesRawProcessor);
    void runWhenRawProcessorFree();
    // Starts a road's thread for `work` (which holds the road's handle);
    // false, the progress back to 0, when none starts.
    bool startRoad(std::function<void()> work);
    bool launchOpen(const std::string& path, const std::optional<HistoryMO>& settings,
                    std::function<void(bool)> done = {});
    // The roads' parts of the open road and of the save.
    bool loadForOpen(const std::string& path, int* loadFailure = nullptr);
    void applyOpenedFileSettings(const std::string& path, const std::optional<HistoryMO>& settings);
    struct SaveJob;
    void runSaveInThread(const std::shared_ptr<SaveJob>& job);
    void afterSave(const std::shared_ptr<SaveJob>& job);
    void endSave(const std::shared_ptr<SaveJob>& job);
    // The end of a batch: the tag copies waited for on the batch thread, then
    // the window emptied on the main queue, its info text `text`.
    void endBatch(const std::string& text);
    // The report in the log (and on the terminal in command-line mode).
    void logBatchReport(const BatchReport& report);
    // Empties the window and the RawProcessor (no file open): the one state
    // of a window without a file, as at an empty start, whatever led to it;
    // the info view shows `text` (what a batch did).
    void showNoFile(const std::string& text = std::string());
    // The info text of the window as it is (the open file's, or none),
    // again after a batch that did not run.
    void showInfoOfOpenFile();
    // The next (1) or previous (-1) raw file of `file`'s folder ("" : none).
    std::optional<std::string> neighbourFile(const std::string& file, int direction);
    bool startNeighbour(int direction);
    // Opens the first of `names` (in `folder`) that can be read, on the
    // road's thread; the files that cannot be read go into `passed`.
    bool openFirstReadable(const std::string& folder, const std::vector<std::string>& names,
                           std::vector<BatchNote>* passed);
    // Logs the files a step (`step`: "Open Next", ...) passed and shows them.
    void tellPassedFiles(const std::vector<BatchNote>& passed, bool opened, const char* step, int direction);
    // After a step that passed files that cannot be read (main thread).
    void showPassedFiles(const std::vector<BatchNote>& passed, bool opened, int direction);
    // The alert that the store cannot be used: its file and SQLite's error.
    static void tellStoreUnusable(const char* title, const std::string& path, const std::string& error);
    bool writeHistory(const char* method, const std::function<bool(HistoryStore::Transaction&)>& body,
                      const char* alertText);
    // The writer's insert of a record made already (creationDate now).
    std::optional<HistoryMO> addHistoryRecord(HistoryMO record);
    // Inserts every record in one transaction (all or none), through writeHistory.
    bool insertHistoryRecords(const char* method, std::vector<HistoryMO>& records, const char* alertText);
    // The files and folders the user picks in the open panel (starting at the
    // open file), expanded to files; empty when cancelled or none is found.
    std::vector<std::string> chooseFilesFromOpenFile();
    // chooseFilesFromOpenFile, then the user's go-ahead for `action` ("export",
    // "import") of settings for that many files (titled `title`); empty when
    // the user declines or the controller has become busy meanwhile.
    std::vector<std::string> chooseFilesForMultipleSettings(const char* title, const char* action);
    // After new settings: the profile menu shows their camera profile
    // ("Default" without one) and, unless auto-apply is off, they are applied.
    void showProfileAndApply();
    // The one-alert report of settings files that could not be written.
    static void reportFailedWrites(std::size_t count, const std::string& firstPath);
    // The selection of the history list becomes these records (those shown).
    void selectRecords(const std::vector<HistoryMO>& records);
    void showScanned(int count);
    // Open events: the paths join the held ones (gathered once no modal
    // session is up); the token ends when nothing is gathered, held or waiting.
    void holdOpenFiles(const std::vector<std::string>& paths);
    void gatherOpenFiles(const std::vector<std::string>& paths);
    void endGatheringWhenDone();
    void dropPendingOpenFiles();
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
    OpenEventGatherer openEvents_;
    // Open events held while a modal session is up, and a gathered request
    // waiting for the busy time to end (checked again every 100 ms).
    std::vector<std::string> heldOpenFiles_;
    std::vector<std::string> waitingOpenFiles_;
    MainQueueTimer openRetry_;
    // Held while open events are gathered, held or waiting.
    ActivityTracker::Token gatheringToken_;
    bool quitPending_ = false;
    PresetsMenu presetsMenu_;
    SettingsSelector settingsSelector_;
    RenameSourceState renameSource_;
    FileSearch fileSearch_;
    std::shared_ptr<int> lifeToken_ = std::make_shared<int>(0);

    mutable std::mutex stateMutex_;  // originalNonRawFile_, cameraInfo_, lastHistoryError_
    std::optional<std::string> originalNonRawFile_;
    std::string lastHistoryError_;
    std::string cameraInfo_;
    // The settings of the RawProcessor as made, before any file: the start's.
    SettingsDictionary startSettings_;
    int startWhiteBalance_ = 1;
    std::atomic<unsigned> width_{0}, height_{0};
    std::vector<std::string> recentDocuments_;
    std::vector<std::string> editors_;
    std::int64_t currentEditor_ = 0;
    std::atomic<bool> enableLabOptimize_{false};
    std::atomic<int> cancelCount_{0};
    std::atomic<bool> commandLineFilesNotWritten_{false};
    std::atomic<int> roadsRunning_{0};
    std::atomic<int> processorRoads_{0};
    std::vector<std::function<void()>> waitingForRawProcessor_;  // main thread
    std::shared_ptr<TagCopyLedger> tagLedger_;  // outlives the copies' threads
    TagCopyThreads tagCopies_;
    // Last: the roads' and workers' threads (stopRoads asks them to stop:
    // a batch after its current file) end before anything they use goes.
    OwnedThreads threads_;
};

}  // namespace dvk
