// Controller: the open road. What the user chose (the open panel, the command
// line, open events, the history) becomes a loaded raw file with its default
// settings and a developed preview, or a batch.
//
// A failed load changes nothing: the file open before stays open with all its
// state (the engine keeps its record when a load fails), so that Save still
// writes it.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/desktop/exiftool.h"
#include "app/history/history_defaults.h"
#include "app/history/history_filter.h"
#include "app/preview/preview_controller.h"
#include "app/menus/profile_menu.h"
#include "app/batch/raw_path_trace.h"
#include "app/desktop/update_feed.h"
#include "pipeline/load/load_errors.h"
#include "pipeline/load/load_raw_file.h"
#include "pipeline/load/raw_probe.h"
#include "pipeline/writers/output_naming.h"
#include "pipeline/writers/save_formats.h"
#include "platform/alert.h"
#include "platform/dispatch.h"
#include "platform/folder_functions.h"
#include "platform/log.h"
#include "platform/modifier_keys.h"
#include "platform/panels.h"
#include "platform/user_defaults.h"
#include "profiling/profiling_workflow.h"

namespace dvk {

namespace {

constexpr std::size_t kRecentDocuments = 10;

std::string joined(const std::vector<std::string>& paths) {
    std::string s = "(";
    for (std::size_t i = 0; i < paths.size(); ++i) s += (i ? ", " : "") + paths[i];
    return s + ")";
}

bool shift_and_control_held() {
    const unsigned both = kShiftKeyMask | kControlKeyMask;
    return (currentModifierFlags() & both) == both;
}

// A file that could not be opened: "Unknown format" with its path when the
// decoder does not know it, else what happened ("PATH: reason").
void showOpenFailure(const std::string& path, int code) {
    if (is_unknown_format(code))
        showAlert("Unknown format", path, {"Ok"});
    else
        showAlert("File read error", load_error_text(path, code), {"Ok"});
}

}  // namespace

bool Controller::isSettingsFile(const std::string& path) { return isSettingsFilePath(path); }

std::optional<std::string> Controller::originalNonRawFile() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return originalNonRawFile_;
}

void Controller::setOriginalNonRawFile(const std::optional<std::string>& path) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    originalNonRawFile_ = path;
}

std::string Controller::cameraInfo() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return cameraInfo_;
}

std::optional<std::string> Controller::getRAWPathForTiffJpeg(const std::string& path) {
    // A raw file named like a TIFF or JPEG is opened as the raw file it is.
    if (!isTiffOrJpegPath(path) || identify_camera(path.c_str(), nullptr) == 0) {
        setOriginalNonRawFile(std::nullopt);
        return std::nullopt;
    }
    RawTraceSources sources;
    sources.store = &persistentStoreCoordinator();
    sources.isRawFile = [](const std::string& p) { return identify_camera(p.c_str(), nullptr) == 0; };
    std::optional<std::string> raw = traceRawFileForTiffJpeg(path, sources);
    const std::string name = last_path_component(path);
    std::string text;
    if (raw) {
        setOriginalNonRawFile(path);
        text = "Resolved\n" + name + " to \n" + *raw;
    } else {
        setOriginalNonRawFile(std::nullopt);
        text = "Unable to resolve\n" + name + " to Raw";
    }
    runOnMainQueueWhileAlive([this, text] {
        if (ui_) ui_->showInfoText(text);
    });
    return raw;
}

void Controller::selectFile() {
    if (isBusy()) return;
    scanCounter() = 0;
    OpenPanelRequest request;
    request.allowsMultipleSelection = true;
    request.canChooseFiles = true;
    request.canChooseDirectories = true;
    request.startPath = rawProcessor_->fileName();
    std::optional<std::vector<std::string>> chosen = runOpenPanel(request);
    if (!chosen) return;
    std::vector<std::string> files = expandFileList(*chosen);
    if (files.empty()) {
        log_line("Nothing selected? %s", joined(*chosen).c_str());
        return;
    }
    if (isBusy()) return;
    if (files.size() == 1 && !shift_and_control_held()) {
        const std::string r = getRAWPathForTiffJpeg(files.front()).value_or(files.front());
        if (!isSettingsFile(r)) {
            const RawIdentity id = identify_raw_file(r);
            if (!id.is_raw()) {
                showOpenFailure(r, id.refusal());
                return;
            }
        }
        startOpen(r);
        return;
    }
    deleteBatchSaved();
    std::vector<BatchItem> items;
    for (std::string& f : files) items.push_back(BatchItem::path(std::move(f)));
    runBatchInThread(std::move(items));
}

bool Controller::openRequest(const std::vector<std::string>& paths) {
    setProgressMT(1.0);
    std::vector<std::string> files = expandFileList(paths);
    if (files.empty()) {
        setProgressMT(0);
        return false;
    }
    if (files.size() < 2 && !shift_and_control_held()) {
        const std::string p = getRAWPathForTiffJpeg(files.front()).value_or(files.front());
        return launchOpen(p, std::nullopt);
    }
    deleteBatchSaved();
    std::vector<BatchItem> items;
    for (std::string& f : files) items.push_back(BatchItem::path(std::move(f)));
    return runBatchInThread(std::move(items));
}

bool Controller::startOpen(const std::string& path, std::function<void(bool)> done) {
    if (isBusy()) return false;
    return launchOpen(path, std::nullopt, std::move(done));
}

bool Controller::launchOpen(const std::string& path, const std::optional<HistoryMO>& settings,
                            std::function<void(bool)> done) {
    std::shared_ptr<void> road = beginRoad(true);
    return startRoad([this, road, path, settings, done] {
        scanCounter() = 0;
        const bool opened = openFile(path, settings);
        setProgressMT(0);
        if (done) runOnMainQueueWhileAlive([done, opened] { done(opened); });
    });
}

void Controller::openFileInThread(const std::string& path) {
    scanCounter() = 0;
    openFile(path, std::nullopt);
    setProgressMT(0);
}

void Controller::setFromHistoryAndOpen(const HistoryMO& record) {
    const std::string source = record.sourceFile();
    if (source.empty() || source.back() == '/' || isBusy()) return;
    setOriginalNonRawFile(std::nullopt);
    launchOpen(source, record);
}

bool Controller::openFile(const std::string& path, const std::optional<HistoryMO>& settings, int* loadFailure) {
    RawProcessor& rp = *rawProcessor_;
    if (!exists_at(path)) {
        if (loadFailure)
            *loadFailure = load_code_for_errno(ENOENT);
        else
            showAlert("File not found", path, {"Ok"});
        setProgressMT(0);
        return false;
    }
    runOnMainQueueWhileAlive([this] {
        if (ui_) ui_->bringMainWindowToFront();
    });

    if (isSettingsFile(path)) {
        bool loaded = false;
        std::string refusal;
        onMain([&] {
            if (rp.fileName().empty()) return;
            loaded = true;
            // All or nothing: a refused file changes nothing, and says why.
            if (!rp.importSettingsFromFile(path, nullptr, &refusal)) return;
            setCustomCameraProfile(
                profileMenuTitleFor(rp.customRawProfile(), userProfileFolder(applicationSupportFolder())));
            if (!ui_) return;
            if (!ui_->disableAutoApply()) ui_->apply("Settings");
            const std::string info = cameraInfo();
            if (!info.empty()) {
                ui_->showInfoText(info);
                ui_->displayMainWindow();
            }
        });
        if (!loaded) showAlert(std::string(), "Some Raw file has to be loaded to apply settings", {"Ok"});
        if (!refusal.empty()) showAlert("Settings not imported", refusal, {"Ok"});
        return true;
    }

    setProgressMT(1.0);
    onMain([this] {
        if (ui_) ui_->displayMainWindow();
    });
    const bool same = path == rp.fileName();
    if (!loadForOpen(path, loadFailure)) return false;

    std::optional<std::string> info = runExifToolForInfo(path, [&rp] { rp.incProgressBy(5); });
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        cameraInfo_ = info.value_or(std::string());
    }
    onMain([this, &info] {
        if (ui_) ui_->showInfoText(info.value_or(std::string()));
    });

    applyOpenedFileSettings(path, settings);
    // After the settings, so that undo starts from them.
    if (!same)
        onMain([this] {
            if (ui_) ui_->resetForNewFile();
        });

    // Orientation and the preview here, on the thread that owns the
    // processor; the preview's window steps follow on the main queue.
    preview_->showOpenedFile();
    const DVKLib* d = rp.dvklib();
    const unsigned filters = d && d->libraw ? d->libraw->imgdata.idata.filters : 0;
    onMain([this, filters] {
        if (ui_) ui_->fileOpened(filters);
    });

    if (!rp.camera().empty() && d && d->libraw) {
        const libraw_iparams_t& id = d->libraw->imgdata.idata;
        storeUpdateFeedAddress(defaults(), std::string(id.make) + id.model);
    }
    onMain([this] {
        if (ui_) ui_->setSaveButtonHighlighted(enableLabOptimize_.load());
    });
    return true;
}

bool Controller::loadForOpen(const std::string& path, int* loadFailure) {
    RawProcessor& rp = *rawProcessor_;
    const std::string previous = rp.fileName();
    const bool same = path == previous;
    // The profiling panel's close steps first, so that the file loaded (the
    // same one too: its settings are applied again) takes none of the
    // measuring state. The road's thread waits meanwhile, and no apply run
    // goes while a road does.
    onMain([this] {
        if (profilingPanelVisible()) profiling().closeProfilingWindow();
    });
    const DVKLib* d = rp.dvklib();
    const LibRaw_DVK* decoder = d ? d->libraw.get() : nullptr;
    const int rc = rp.initFloatPreviewFromRawFile(path);
    if (rc != 0) {
        // The engine keeps its record when a load fails: the file open
        // before is still there, with its image. Only when the decoder took
        // the new file and the buffers could not follow is nothing left open.
        const bool kept = d && d->libraw.get() == decoder;
        onMain([&] {
            if (kept)
                rp.setFileName(previous);
            else
                showNoFile();
        });
        setProgressMT(0);
        if (loadFailure)
            *loadFailure = rc;
        else
            runOnMainQueueWhileAlive([path, rc] { showOpenFailure(path, rc); });
        return false;
    }
    const std::string name = last_path_component(path);
    onMain([&] {
        if (ui_) ui_->showStatusLine(std::string());
        if (!same) {
            rp.setDestinationFile("");
            rp.setRotation(0);
        }
        if (ui_) ui_->setMainWindowTitle(name, path);
        recentDocuments_.erase(std::remove(recentDocuments_.begin(), recentDocuments_.end(), path),
                               recentDocuments_.end());
        recentDocuments_.insert(recentDocuments_.begin(), path);
        if (recentDocuments_.size() > kRecentDocuments) recentDocuments_.resize(kRecentDocuments);
    });
    width_ = rp.imageWidth();
    height_ = rp.imageHeight();
    return true;
}

void Controller::applyOpenedFileSettings(const std::string& path, const std::optional<HistoryMO>& settings) {
    RawProcessor& rp = *rawProcessor_;
    const std::optional<HistoryMO> applied = settings ? settings : directoryDefault(nullptr);
    const std::string traced = originalNonRawFile().value_or(std::string());
    const std::string info = cameraInfo();
    onMain([&] {
        if (applied)
            rp.setSettings(applied->keyValueSource());
        else
            rp.resetToDefaults(false);
        // A traced file is developed back onto the TIFF or JPEG it came from,
        // its extension that of the format the settings chose.
        if (!traced.empty()) {
            const std::string onto = path_with_format_extension(traced, is_jpeg_writer(rp.dvklib()->save_writer));
            const std::string destination = rp.makeFullDestinationFileName();
            if (!destination.empty() && destination != onto) rp.setDestinationFile(onto);
        }
        createProfileMenu();
        initWbButton(info);
        historyList_.setFilterPredicate(historyFilterForFile(path, rp.camera()));
        if (applied)
            selectSettings(*applied);
        else
            rp.setUseCameraWB(rp.useCameraWB());
    });
}

}  // namespace dvk
