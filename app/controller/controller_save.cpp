// Controller: saving the open file, and what follows a save.
//
// A save develops the file at full size with a RawProcessor of its own, made
// on the main thread with a copy of the settings on screen, so the preview
// and its settings stay free meanwhile. The history record and its
// comparison with the file's default are the settings on screen when the
// save began, as the user chose them, whatever the user does during the save
// and whatever the full-size load works out again (the second green's
// balance follows the file's green, which differs a little at full size).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>

#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/menus/profile_menu.h"
#include "app/desktop/editor_launch.h"
#include "app/menus/editors_button_items.h"
#include "app/menus/filter_menu.h"
#include "app/desktop/exiftool.h"
#include "app/history/history_defaults.h"
#include "app/batch/tag_copy_ledger.h"
#include "pipeline/load/load_errors.h"
#include "pipeline/processor/custom_profile.h"
#include "pipeline/writers/output_naming.h"
#include "pipeline/writers/save_formats.h"
#include "platform/alert.h"
#include "platform/dispatch.h"
#include "platform/folder_functions.h"
#include "platform/log.h"
#include "platform/panels.h"
#include "platform/process_runner.h"

namespace dvk {

namespace {

// The resident size of the process in bytes (0 when unknown).
unsigned long resident_bytes() {
    unsigned long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lu %lu", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * static_cast<unsigned long>(sysconf(_SC_PAGESIZE));
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// "PATH" and, on a line of its own, why it cannot be written.
std::string pathAndReason(const std::string& path, const std::string& reason) {
    return reason.empty() ? path : path + "\n" + reason;
}

}  // namespace

struct Controller::SaveJob {
    std::shared_ptr<void> road;        // the busy mark and the running work
    std::unique_ptr<RawProcessor> p;   // the saving RawProcessor
    KeyValueObservers::Token binding = 0;
    int halfSize = 0;
    bool labOptimize = false;
    std::string destination;           // the destination setting it was given
    std::string unreadableProfile;     // the camera profile that could not be used
    std::string unreadableReason;      // why not
    HistoryMO chosen;                  // the settings on screen, as the save's record
    std::string written;               // the file written
    std::chrono::steady_clock::time_point start;
};

void Controller::saveFile() {
    RawProcessor& rp = *rawProcessor_;
    if (rp.fileName().empty()) return;
    std::string path, reason;
    if (!rp.isDestinationFileWritable(&path, &reason)) {
        showAlert("Can't write to file:", pathAndReason(path, reason), {"Ok"});
        return;
    }
    if (isBusy()) return;
    startSave(false);
}

void Controller::saveFileAs() {
    RawProcessor& rp = *rawProcessor_;
    if (rp.fileName().empty() || isBusy()) return;
    const std::string full = rp.makeFullDestinationFileName();
    SavePanelRequest request;
    if (!full.empty()) {
        request.directory = deleting_last_path_component(full);
        request.fileName = last_path_component(full);
    }
    std::optional<std::string> chosen = runSavePanel(request);
    if (!chosen) return;
    rp.setDestinationFile(*chosen);
    std::string path, reason;
    if (rp.isDestinationFileWritable(&path, &reason))
        startSave(true);
    else
        showAlert("Can't write to file:", pathAndReason(path, reason), {"Ok"});
}

bool Controller::startSave(bool saveAs) {
    RawProcessor& rp = *rawProcessor_;
    if (rp.fileName().empty()) {
        setProgressMT(0);
        return false;
    }
    auto job = std::make_shared<SaveJob>();
    job->start = std::chrono::steady_clock::now();
    job->p = std::make_unique<RawProcessor>();
    RawProcessor& p = *job->p;
    p.setUplab2labProfiles(rp.uplab2labProfiles());
    p.setUndoSettings(rp.undoSettings());
    dropVanishedFilter(p, filterProfileRoot());
    p.setRotation(rp.rotation());
    p.setCustomRawProfile(rp.customRawProfile());
    // A profile file gone (or no longer one that can serve) since the preview
    // read it develops as the open would have it: with the camera's own
    // profile, and the user is told. The rule a batch follows too.
    if (settle_custom_profile(p, userProfileFolder(applicationSupportFolder()))) {
        job->unreadableProfile = p.customRawProfile();
        job->unreadableReason = custom_profile_reason(p);
        p.setCustomRawProfile(std::string());
    }
    // A destination kept from before (not the one Save As just chose) takes
    // the extension of the save format in force: no JPEG data in a ".tiff".
    const bool jpeg = is_jpeg_writer(p.dvklib()->save_writer);
    const std::string destination =
        saveAs ? rp.destinationFile() : kept_destination_for_format(rp.destinationFile(), jpeg);
    p.setDestinationFile(destination);
    p.setFileName(rp.fileName());
    // Save As overwrites the file chosen; Save follows the preference.
    p.setDontOverwriteOnSave(saveAs ? 0 : rp.dontOverwriteOnSave());
    job->destination = destination;
    job->chosen = historyRecordFromSettings(rp, rp.fileName(), destination, std::string("Action: Save"));
    job->halfSize = rp.interpolation() == 2 ? 1 : 0;
    job->labOptimize = enableLabOptimize_.load();

    job->road = beginRoad(false);
    // The progress bar follows the save, and stays busy until it ends.
    job->binding = p.addObserver("progress", [this, &p](std::string_view) {
        rawProcessor_->setProgress(std::clamp(p.progress(), 1.0, 99.0));
    });
    if (ui_) ui_->switchShowPreviousOff();
    return startRoad([this, job] { runSaveInThread(job); });
}

void Controller::runSaveInThread(const std::shared_ptr<SaveJob>& job) {
    RawProcessor& p = *job->p;
    if (!job->unreadableProfile.empty()) {
        log_line("Camera profile %s cannot be used (%s): the save uses Default", job->unreadableProfile.c_str(),
                 job->unreadableReason.c_str());
        showAlert("Camera profile not found",
                  "The camera profile \"" + job->unreadableProfile + "\" cannot be read (" + job->unreadableReason +
                      "). The default profile is used instead.",
                  {"Ok"});
    }
    const int rc = p.initDoubleImageFromRawFile(p.fileName(), job->halfSize);
    if (rc != 0) {
        // The reason in the user's words; the memory in use for the log.
        log_line("Save not begun: %lu MB of memory in use", resident_bytes() >> 20);
        showAlert("Error", load_error_text(p.fileName(), rc), {"Ok"});
        onMain([&] { endSave(job); });
        return;
    }
    // The settings came before the file: a second green that follows the
    // first takes the file's green balance, known only now.
    p.setManualGreen2(p.manualGreen2());
    p.setLabOptimize(job->labOptimize ? 1 : 0);
    const bool converted = p.convertImage();
    if (!converted && !p.convertError().empty()) {
        log_line("Can't develop %s: %s", p.fileName().c_str(), p.convertError().c_str());
        showAlert("Can't develop " + last_path_component(p.fileName()), p.convertError(), {"Ok"});
        onMain([&] { endSave(job); });
        return;
    }
    const int saved = converted ? p.saveImage() : 1;
    if (saved != 0) {
        // The path it tried (the destination setting may be empty or a folder).
        showAlert("Can't save image to file:", pathAndReason(p.destinationFile(), p.saveError()), {"Ok"});
        onMain([&] { endSave(job); });
        return;
    }
    job->written = p.destinationFile();
    // The record keeps the destination setting, as the open file has it.
    p.dvklib()->dest_file = nullptr;
    p.setDestinationFile(job->destination);
    const std::optional<HistoryMO> fileDefault = directoryDefault(&p);
    if (!fileDefault || !recordSettingsEqual(job->chosen, *fileDefault)) {
        onMain([&] {
            if (auto record = addHistoryRecord(job->chosen)) selectSettings(*record);
        });
    }
    afterSave(job);
}

void Controller::afterSave(const std::shared_ptr<SaveJob>& job) {
    RawProcessor& p = *job->p;
    const TagCopyRequest request = makeTagCopyRequest(p, job->written);
    bool copyTags = false;
    std::string editor;
    onMain([&] {
        copyTags = ui_ && ui_->copyTagsChecked();
        if (currentEditor_ > 0 && static_cast<std::size_t>(currentEditor_) <= editors_.size())
            editor = editors_[static_cast<std::size_t>(currentEditor_ - 1)];
    });
    // The tags are in the file before an editor sees it (copied here, on the
    // save's thread, so the window goes on meanwhile).
    if (!editor.empty() && copyTags) runExifToolToCopyTags(request, tagCopies_.counter());
    onMain([&] {
        if (!editor.empty()) {
            const EditorLaunchResult launched =
                launchEditorOnSavedFile(*process_runner(), editor, {p.fileName(), job->written, p.camera()});
            if (!launched.started) log_line("Can't open %s in %s: %s", job->written.c_str(), editor.c_str(),
                                            launched.error.c_str());
        } else if (copyTags) {
            startTagCopy(request);
        }
        const bool next = ui_ && ui_->saveButtonTitle() == "Save/Next";
        p.removeObserver(job->binding);
        job->binding = 0;
        rawProcessor_->setProgress(ui_ ? ui_->progressMaximum() : 100);
        if (ui_) ui_->updatePrev();
        log_line("%s -> %s save time: %.1lf\n", last_path_component(p.fileName()).c_str(),
                 last_path_component(job->written).c_str(), seconds_since(job->start));
        endSave(job);
        if (next) openNextFile();
    });
}

void Controller::endSave(const std::shared_ptr<SaveJob>& job) {
    if (job->binding) job->p->removeObserver(job->binding);
    job->binding = 0;
    rawProcessor_->setProgress(0);
    job->road.reset();
}

void Controller::startTagCopy(const TagCopyRequest& request, std::function<void()> ended) {
    auto activity = std::make_shared<ActivityTracker::Token>(activity_.begin());
    tagCopies_.start(request, [activity, ended = std::move(ended)]() mutable {
        if (ended) ended();
        activity.reset();
    });
}

void Controller::startNotedTagCopy(const TagCopyRequest& request, bool noted) {
    const std::shared_ptr<TagCopyLedger> ledger = tagLedger_;
    if (!noted) ledger->started(request);
    startTagCopy(request, [ledger, ofname = request.ofname] { ledger->ended(ofname); });
}

void Controller::resumeTagCopies() {
    for (const TagCopyRequest& r : tagLedger_->entries()) {
        if (!exists_at(r.fileName) || !exists_at(r.ofname)) {
            tagLedger_->ended(r.ofname);
            continue;
        }
        log_line("Copying the tags of %s into %s again: the copy was cut off", r.fileName.c_str(), r.ofname.c_str());
        TagCopyLedger::removeLeftoverOf(r.ofname);
        startNotedTagCopy(r, true);
    }
}

void Controller::initEditorsButton() {
    std::vector<EditorsButtonItem> items = editorsButtonItems(editors_);
    if (currentEditor_ < 0 || static_cast<std::size_t>(currentEditor_) > editors_.size()) currentEditor_ = 0;
    if (ui_) ui_->setEditorsButtonItems(items, static_cast<long>(currentEditor_));
}

}  // namespace dvk
