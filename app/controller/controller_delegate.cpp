// Controller: the application delegate. Launch and quit steps, the update
// check, open events gathered into one request, and dropped files.
#include <algorithm>
#include <atomic>

#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/history/history_defaults.h"
#include "app/preview/preview_controller.h"
#include "pipeline/load/load_raw_file.h"
#include "platform/alert.h"
#include "platform/dispatch.h"
#include "platform/folder_functions.h"
#include "platform/log.h"
#include "platform/modal_session.h"
#include "platform/user_defaults.h"

namespace dvk {

namespace {

// Adds each path of `more` that `paths` does not hold yet, in order.
void append_new(std::vector<std::string>& paths, const std::vector<std::string>& more) {
    for (const std::string& p : more)
        if (std::find(paths.begin(), paths.end(), p) == paths.end()) paths.push_back(p);
}

}  // namespace

void Controller::applicationWillFinishLaunching(UpdateRequester requester) {
    std::optional<std::string> url = updateCheckRequest(defaults());
    if (!url || !requester) return;
    threads_.start([this, url = *url, requester = std::move(requester)] {
        std::optional<std::string> error = requester(url, [this] { return threads_.stopRequested(); });
        if (error) log_line("%s", error->c_str());
    });
}

std::vector<std::string> Controller::commandLineFiles() const {
    const std::vector<std::string>& args = arguments();
    if (args.size() < 2) return {};
    return dvk::commandLineFiles({args.begin() + 1, args.end()}, currentDirectory());
}

void Controller::applicationDidFinishLaunching() {
    UserDefaults& d = defaults();
    // 1. The mode.
    log_line("Mode: %s", isCommandLineMode() ? "Command line" : "GUI");
    // 2. The history list is kept newest first by the list itself.
    // 3. External editors.
    editors_ = readEditors(d);
    currentEditor_ = d.integerForKey("SelectedEditor");
    initEditorsButton();
    // 4. The preference menu items.
    if (ui_) ui_->setPreferenceMenuStates(readPreferenceMenuStates(d));
    // 5. (Tag copies and profiling patches start counted at 0.)
    // 6. The arrow-key step of the white-balance fields.
    if (ui_) ui_->setWhiteBalanceStepTag(whiteBalanceStepTag(d));
    // 7. The settings selector.
    restoreDisabledSettings();
    // 8. An unfinished batch, then the files named on the command line: open
    // events like any other, gathered with what other launches hand over
    // meanwhile into one request (refused while the resumed batch runs).
    // Before them, the tag copies of an earlier batch that a kill cut off.
    resumeTagCopies();
    completeBatch();
    if (options_.openCommandLineFiles) {
        std::vector<std::string> files = commandLineFiles();
        if (!files.empty()) applicationOpenFiles(files);
    }
    // 9. Drops.
    if (ui_) ui_->registerForDrops();
}

TerminateReply Controller::applicationShouldTerminate() {
    // Work that must not be cut off: wait for it (a batch stops after its
    // current file and keeps its list), then quit the normal way.
    dropPendingOpenFiles();
    if (activity_.running() > 0) {
        if (!quitPending_) {
            quitPending_ = true;
            log_line("DVK will quit when the running work has ended.");
            // A batch (when one runs) stops after its current file, its list kept.
            clickCancel("Postpone");
            activity_.whenIdle([this, alive = std::weak_ptr<int>(lifeToken_)] {
                if (!alive.lock() || !quitPending_) return;
                if (ui_)
                    ui_->terminate();
                else
                    applicationShouldTerminate();
            });
        }
        return TerminateReply::Later;
    }
    quitPending_ = false;
    // The profiling panel's close steps change the settings, which a running
    // develop of the preview reads: they, and the record below, wait for it.
    if (profilingPanelVisible() && preview_->applyWorker().running()) {
        preview_->whenIdle([this, alive = std::weak_ptr<int>(lifeToken_)] {
            if (!alive.lock()) return;
            if (ui_)
                ui_->terminate();
            else
                applicationShouldTerminate();
        });
        return TerminateReply::Later;
    }

    // 1., 2. The profiling panel's close steps give the user's settings back.
    log_line("DVK should terminate.");
    closeProfilingPanelIfOpen();

    // 3. The open file's settings, unless they are its default.
    RawProcessor& r = *rawProcessor_;
    std::string saveError;
    bool saveFailed = false;
    if (r.preview() && !r.fileName().empty() && persistentStoreCoordinator().isOpen() &&
        !areCurrentSettingsDefaultInHistory()) {
        HistoryMO record = historyRecordFromSettings(r, r.fileName(), r.destinationFile(), "Action: Exit");
        saveFailed = !persistentStoreCoordinator().write(
            [&](HistoryStore::Transaction& t) { return t.insert(record); }, &saveError);
    }

    // 4. The defaults of the windows and editors.
    QuitDefaults values;
    if (ui_) values.window = ui_->windowStateDefaults();
    values.editors = editors_;
    values.currentEditor = currentEditor_;
    if (r.raw()) {
        values.rawCurveType = r.curveType();
        values.rawInterpolation = r.interpolation();
    }
    writeQuitDefaults(defaults(), values);

    // 5. to 7. Every change of the store is saved when it is made; only the
    // record of step 3 can be left unsaved.
    if (!saveFailed) return TerminateReply::Now;
    log_line("%s %s", "Controller::applicationShouldTerminate", saveError.c_str());
    // A quit asked by a signal asks no one.
    if (modalSessionsDismissed()) return TerminateReply::Now;
    presentError(saveError);
    if (showAlert(std::nullopt, "Could not save changes to history while quitting. Quit anyway?", {"Yes", "Cancel"}) ==
        1001)
        return TerminateReply::Cancel;
    return TerminateReply::Now;
}

void Controller::applicationWillTerminate() { log_line("DVK quit"); }

bool Controller::applicationOpenFile(const std::string& path) {
    if (isBusy() || quitPending_) return false;
    return startOpen(getRAWPathForTiffJpeg(path).value_or(path));
}

OpenReply Controller::applicationOpenFiles(const std::vector<std::string>& paths) {
    if (isBusy() || quitPending_) {
        log_line("We are in progress, can't accept list %s", describePathList(paths).c_str());
        return OpenReply::Failure;
    }
    // The gathering counts as work, so that quitting when idle waits for it.
    if (!gatheringToken_.active()) gatheringToken_ = activity_.begin();
    // A dialog or panel that is up answers for the file open now (Save As
    // names its output): the request waits until it closes.
    if (modalSessionOpen())
        holdOpenFiles(paths);
    else
        gatherOpenFiles(paths);
    return OpenReply::Success;
}

void Controller::holdOpenFiles(const std::vector<std::string>& paths) {
    const bool first = heldOpenFiles_.empty();
    append_new(heldOpenFiles_, paths);
    log_line("Held list %s while a dialog is up", describePathList(paths).c_str());
    if (!first) return;
    whenNoModalSession([this, alive = std::weak_ptr<int>(lifeToken_)] {
        if (!alive.lock()) return;
        std::vector<std::string> held;
        held.swap(heldOpenFiles_);
        if (held.empty()) return;
        if (modalSessionOpen())
            holdOpenFiles(held);
        else
            gatherOpenFiles(held);
    });
}

void Controller::gatherOpenFiles(const std::vector<std::string>& paths) {
    openEvents_.add(paths, [this](std::vector<std::string> request) { openGatheredFiles(request); });
}

void Controller::endGatheringWhenDone() {
    if (!openEvents_.gathering() && heldOpenFiles_.empty() && waitingOpenFiles_.empty()) gatheringToken_.end();
}

void Controller::dropPendingOpenFiles() {
    std::vector<std::string> pending = heldOpenFiles_;
    append_new(pending, openEvents_.pending());
    append_new(pending, waitingOpenFiles_);
    if (!pending.empty())
        log_line("Quitting: the open request %s is dropped", describePathList(pending).c_str());
    openEvents_.cancel();
    openRetry_.cancel();
    heldOpenFiles_.clear();
    waitingOpenFiles_.clear();
    gatheringToken_.end();
}

void Controller::openGatheredFiles(const std::vector<std::string>& paths) {
    if (quitPending_) {
        endGatheringWhenDone();
        return;
    }
    if (modalSessionOpen()) {
        holdOpenFiles(paths);
        return;
    }
    // A road that began meanwhile (a save after its panel, say) is waited
    // for. The expansion runs here on the main thread, so no other road can
    // begin meanwhile; the road that opens or converts marks itself busy.
    if (isBusy()) {
        append_new(waitingOpenFiles_, paths);
        openRetry_.start(std::chrono::milliseconds(100), [this] {
            std::vector<std::string> waiting;
            waiting.swap(waitingOpenFiles_);
            openGatheredFiles(waiting);
        });
        return;
    }
    const bool started = openRequest(paths);
    if (!started) log_line("Nothing to open in %s", describePathList(paths).c_str());
    // Said after the expansion's own report ("Scanned ... files").
    std::string notFound;
    for (const std::string& p : paths)
        if (!exists_at(p)) {
            log_line("File not found: %s", p.c_str());
            notFound += "\n" + p;
        }
    if (!notFound.empty() && ui_) ui_->showInfoText("File not found:" + notFound);
    endGatheringWhenDone();
}

void Controller::performDragOperation(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    auto token = std::make_shared<ActivityTracker::Token>(activity_.begin());
    threads_.start([this, paths, token] {
        std::vector<std::string> dropList;
        for (const std::string& f : expandFileList(paths)) {
            if (threads_.stopRequested()) return;
            if (identify_camera(f.c_str(), nullptr) == 0) dropList.push_back(f);
        }
        log_line("Dropped %zu raw files of %s", dropList.size(), describePathList(paths).c_str());
        if (dropList.empty()) return;
        runOnMainQueueWhileAlive([this, dropList, token] { applicationOpenFiles(dropList); });
    });
}

}  // namespace dvk
