// Controller: batches. The files of a batch are converted one after the other
// with the controller's RawProcessor, each with its default settings or a
// history record's, and written at full size. The batch journal keeps the
// items still to do, the files written and the item being developed, so that
// a batch stopped in any way (cancelled, postponed, quit, killed) resumes at
// the next start with nothing written twice; a file that was being developed
// when the batch ended abnormally is tried once more, and named and not taken
// up again when it crashed the program or was being developed at two abnormal
// ends in a row, so that a file that crashes the program cannot stop every
// resumed batch. Every file a batch does not write is named at its end, with
// its reason.
#include <libraw/libraw_const.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "app/batch/batch_export.h"
#include "app/batch/batch_report.h"
#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/menus/profile_menu.h"
#include "app/desktop/exiftool.h"
#include "app/desktop/update_feed.h"
#include "pipeline/load/load_raw_file.h"
#include "pipeline/processor/custom_profile.h"
#include "pipeline/writers/output_naming.h"
#include "platform/alert.h"
#include "platform/dispatch.h"
#include "platform/folder_functions.h"
#include "platform/log.h"
#include "platform/user_defaults.h"

namespace dvk {

namespace {

constexpr const char* kIncompleteBatchText =
    "Incomplete batch detected.\n\nProceed - continue this incomplete batch.\n\nLater - ignore it for now and ask "
    "again when you launch DVK next time. If you initiate another batch it will quietly override this one.\n\nForget "
    "it - forget about this incomplete batch. Cannot be undone.";

constexpr const char* kQuitDuringBatchText =
    "You may also Quit DVK now (Ctrl+Q). You'll have an option to continue this batch after next DVK launch.";

// The end-of-batch wait for tag copies: polls, and at most this long.
constexpr std::chrono::milliseconds kTagCopyPoll{100};
constexpr int kTagCopyPolls = 6000;  // 600 seconds

// The files of each list an end-of-batch alert names (the log names them all).
constexpr std::size_t kReportNamesShown = 10;

// The stand-in for a camera profile that cannot be used: the camera's own, as
// the window takes when it opens such a file.
std::string profileStandIn(const std::string& profile, const std::string& reason) {
    return "the camera profile " + profile + " cannot be read (" + reason +
           "): developed with the camera's default profile";
}

// The alert of a batch that stops at a file; a batch started from the
// command line says it there too.
void sayBatchPostponed(const std::string& title, const std::string& text) {
    if (Controller::isCommandLineMode()) terminal_text("dvk: " + title + " " + text);
    showAlert(title, text, {"Ok"});
}

}  // namespace

BatchJournal Controller::batchJournal() const { return {batchListFile(), batchSavedFile(), batchMarkerFile()}; }

bool Controller::runBatchInThread(std::vector<BatchItem> items, BatchReport report) {
    // A quit or a Cancel from now on (during the question too) stops it.
    cancelCount_ = 0;
    std::shared_ptr<void> road = beginRoad(true);
    return startRoad([this, road, items = std::move(items), report = std::move(report)]() mutable {
        scanCounter() = 0;
        batchRunner(items, report);
        setProgressMT(0);
    });
}

void Controller::batchRunner(std::vector<BatchItem>& items, BatchReport& report) {
    // 1. The raw files of the expected cameras, in order; the others are
    // named at the end.
    BatchCounts counts;
    counts.scanned = items.size();
    const std::size_t namedBefore = report.notWrittenFiles().size();  // a resumed batch's abandoned file
    std::vector<BatchItem> kept;
    for (BatchItem& item : items) {
        char camera[256] = "";
        if (item.sourceFile.empty()) continue;
        if (identify_camera(item.sourceFile.c_str(), camera) != 0) {
            report.notWritten(item.sourceFile, unreadableFileReason(item.sourceFile));
            continue;
        }
        if (item.settings && strcasecmp(camera, item.settings->camera().c_str()) != 0) {
            report.notWritten(item.sourceFile, std::string("taken with ") + camera + ", not with the settings' " +
                                                   item.settings->camera());
            continue;
        }
        kept.push_back(std::move(item));
    }
    items.swap(kept);
    if (items.empty()) {
        const std::string none = "Couldn't find any matching camera Raw files in the selection";
        logBatchReport(report);
        showAlert("Wrong selection", report.empty() ? none : none + "\n\n" + report.text(kReportNamesShown), {"Ok"});
        setProgressMT(0);
        runOnMainQueueWhileAlive([this] { showInfoOfOpenFile(); });
        return;
    }
    if (!isCommandLineMode() &&
        showAlertf("Batch mode", {"Continue", "Cancel"}, "You are about to run a batch for %d files",
                   static_cast<int>(items.size())) != 1000) {
        // Nothing was done: the window stays as it was.
        runOnMainQueueWhileAlive([this] { showInfoOfOpenFile(); });
        return;
    }

    // 2. The journal: a batch of paths is written down; one with history
    // records cannot be, and replaces any older list.
    BatchJournal journal = batchJournal();
    std::optional<std::vector<std::string>> listed = std::vector<std::string>();
    for (const BatchItem& item : items) {
        if (item.settings) {
            listed.reset();
            break;
        }
        listed->push_back(item.sourceFile);
    }
    journal.start(listed);
    runOnMainQueueWhileAlive([this] {
        if (!ui_) return;
        ui_->showCancelButton(true);
        ui_->showInfoText(kQuitDuringBatchText);
    });

    // 3. One file after the other until done, cancelled, postponed or quitting.
    const std::size_t total = items.size();
    bool writtenStaysFirst = false;  // the first item left was written (the batch stopped after it)
    while (!items.empty() && cancelCount_ == 0 && !threads_.stopRequested()) {
        const BatchItem item = items.front();
        // Which file of how many: the first is 1 (a resumed batch counts what it has left).
        const std::size_t position = total - items.size() + 1;
        const std::string title = formatString("(%lu/%lu) %s", static_cast<unsigned long>(position),
                                               static_cast<unsigned long>(total),
                                               last_path_component(item.sourceFile).c_str());
        runOnMainQueueWhileAlive([this, title, source = item.sourceFile] {
            if (ui_) ui_->setMainWindowTitle(title, source);
        });
        const BatchConvertResult result = batchConvert(item.sourceFile, item.settings, &journal, &report);
        if (result == BatchConvertResult::Postpone) {
            journal.itemPostponed();
            cancelCount_ = 2;
            break;
        }
        const bool written = result == BatchConvertResult::Written;
        if (written) {
            journal.itemWritten(rawProcessor_->destinationFile());
            ++counts.written;
        }
        // Cancelled or postponed meanwhile: a written item stays first in the
        // list (its marker tells a resumed batch that it was written); one
        // not written is done with (it was named).
        if (cancelCount_ != 0 && written) {
            writtenStaysFirst = true;
            break;
        }
        journal.itemDone();
        items.erase(items.begin());
    }
    const bool postponed = cancelCount_ == 2, quitting = threads_.stopRequested();
    const bool keptForLater = postponed || (quitting && !items.empty());
    journal.finish(keptForLater);
    counts.left = items.size() - (writtenStaysFirst ? 1 : 0);
    counts.notWritten = report.notWrittenFiles().size() - namedBefore;
    counts.postponed = keptForLater;
    endBatch(batchEndText(counts));
    // Started from the command line, the files a stop leaves are said there.
    if (counts.left > 0 && isCommandLineMode()) {
        commandLineFilesNotWritten_ = true;
        const char* why = postponed ? "the batch was postponed" : quitting ? "DVK quit during the batch"
                                                                           : "the batch was cancelled";
        const bool kept = listed.has_value() && keptForLater;
        terminal_text(formatString("dvk: %zu file%s not written: %s%s", counts.left,
                                   counts.left == 1 ? " was" : "s were", why,
                                   kept ? "; it is offered again at the next start" : ""));
    }
    reportBatch(report);
}

void Controller::logBatchReport(const BatchReport& report) {
    if (report.empty()) return;
    const std::string text = report.text();
    log_line("Batch: %s", text.c_str());
    // A batch of files named on the command line says it where it was started
    // too, and the exit status tells that files were not written.
    if (isCommandLineMode()) {
        terminal_text("dvk: " + text);
        if (!report.notWrittenFiles().empty()) commandLineFilesNotWritten_ = true;
    }
}

void Controller::reportBatch(const BatchReport& report) {
    if (report.empty()) return;
    logBatchReport(report);
    // Nobody is asked anything while the program quits.
    if (threads_.stopRequested()) return;
    showAlert("Batch", report.text(kReportNamesShown), {"Ok"});
}

void Controller::endBatch(const std::string& text) {
    if (!threads_.stopRequested()) {
        // The tag copies end on this thread's time; the window goes on.
        setProgressMT(1.0);
        const int step = 100 / (tagCopies_.childs() + 1);
        for (int poll = 0; poll < kTagCopyPolls && tagCopies_.childs() > 0; ++poll) {
            if (poll % 10 == 0) {
                setProgressMT(100 - tagCopies_.childs() * step);
                runOnMainQueueWhileAlive([this] {
                    if (ui_) ui_->setMainWindowTitle("Copying tags...", std::string());
                });
            }
            std::this_thread::sleep_for(kTagCopyPoll);
        }
    }
    runOnMainQueueWhileAlive([this, text] {
        rawProcessor_->setProgress(0);
        if (ui_) ui_->showCancelButton(false);
        showNoFile(text);
        cancelCount_ = 0;
    });
}

BatchConvertResult Controller::batchConvert(const std::string& source, const std::optional<HistoryMO>& settings,
                                            BatchJournal* journal, BatchReport* report) {
    RawProcessor& rp = *rawProcessor_;
    const auto start = std::chrono::steady_clock::now();
    if (DVKLib* d = rp.dvklib(); d && d->libraw) d->libraw->recycle();
    // Marked before anything is done with it: a file that crashes the
    // program while it is read or developed, or ends it twice in a row, is
    // not taken up again by a resumed batch.
    if (journal) journal->beginItem(source);
    char camera[256] = "";
    // Gone or no longer a raw file: counts as done, nothing written.
    if (!exists_at(source) || identify_camera(source.c_str(), camera) != 0) {
        if (report) report->notWritten(source, unreadableFileReason(source));
        return BatchConvertResult::Skipped;
    }

    setProgressMT(1.0);
    onMain([&] {
        if (ui_) ui_->displayMainWindow();
        rp.setFileName(source);
        rp.setCamera(camera);
    });
    storeUpdateFeedAddress(defaults(), camera);

    // The settings decide the load (half size for interpolation 2); applied
    // again after it, they restore what loading changed.
    auto applySettings = [&] {
        onMain([&] {
            if (settings) {
                rp.setSettings(settings->keyValueSource());
            } else if (std::optional<HistoryMO> d = directoryDefault(nullptr)) {
                rp.setSettings(d->keyValueSource());
            } else {
                rp.resetToDefaults(false);
            }
        });
    };
    onMain([&] { rp.setDestinationFile(""); });
    applySettings();
    const int rc = rp.initDoubleImageFromRawFile(source, rp.interpolation() == 2 ? 1 : 0);
    applySettings();
    if (rc != 0) {
        setProgressMT(0);
        // A file that cannot be read stays so: postponing would stop every
        // resumed batch at it. Memory that ran out may be there next time.
        if (rc != LIBRAW_UNSUFFICIENT_MEMORY) {
            log_line("Batch: %s could not be read (%s), skipped", source.c_str(), loadFailureReason(rc).c_str());
            if (report) report->notWritten(source, loadFailureReason(rc));
            return BatchConvertResult::Unreadable;
        }
        sayBatchPostponed("File read error, batch postponed:", source + "\n" + loadFailureReason(rc));
        return BatchConvertResult::Postpone;
    }
    // The camera profile as a save takes it (a bare file name is the file in
    // the Profiles folder); one that cannot be used (a file deleted since the
    // settings were made, or one that is no RGB input profile, an unknown
    // name) gives way to the camera's own, as in the window, and is named.
    std::string standIn;
    onMain([&] {
        if (!settle_custom_profile(rp, userProfileFolder(applicationSupportFolder()))) return;
        standIn = profileStandIn(rp.customRawProfile(), custom_profile_reason(rp));
        rp.setCustomRawProfile(std::string());
    });
    if (!standIn.empty()) {
        log_line("Batch: %s: %s", source.c_str(), standIn.c_str());
        if (report) report->standIn(source, standIn);
    }

    onMain([&] {
        rp.setLocalContrastEnabled(1);
        rp.setSharpnessEnabled(1);
        rp.setNoiseEnabled(1);
    });
    const bool converted = rp.convertImage();
    // A file the develop refuses stays refused: skipped and named, as an unreadable one.
    if (!converted && !rp.convertError().empty()) {
        setProgressMT(0);
        log_line("Batch: %s cannot be developed (%s), skipped", source.c_str(), rp.convertError().c_str());
        if (report) report->notWritten(source, rp.convertError());
        return BatchConvertResult::Unreadable;
    }
    // The output's path, as saveImage chooses it (never a raw file), and never
    // one this batch wrote for an earlier file (a default naming one file,
    // raw files of one name): numbered as a name taken is. It goes into the
    // journal first.
    if (converted) {
        const auto writtenByTheBatch = [journal](const std::string& path) {
            return journal && std::find(journal->saved().begin(), journal->saved().end(), path) !=
                                  journal->saved().end();
        };
        if (std::optional<std::string> destination = rp.destinationForWriting(nullptr, writtenByTheBatch)) {
            onMain([&] { rp.setDestinationFile(*destination); });
            if (journal) journal->beginOutput(*destination);
        }
    }
    if (!converted || rp.saveImage() != 0) {
        const std::string why = converted ? rp.saveError() : std::string("out of memory while developing");
        sayBatchPostponed("Can't write file, batch postponed:", rp.destinationFile() + (why.empty() ? "" : "\n" + why));
        setProgressMT(0);
        return BatchConvertResult::Postpone;
    }

    bool copyTags = false;
    onMain([&] { copyTags = ui_ && ui_->copyTagsChecked(); });
    // Noted on disk until it ends: a copy a kill cuts off runs again at the next launch.
    if (copyTags) startNotedTagCopy(makeTagCopyRequest(rp, rp.destinationFile()));

    if (DVKLib* d = rp.dvklib(); d && d->libraw) {
        d->libraw->recycle();
        set_image(d, AlignedBuffer<float>(), 0);
    }
    setProgressMT(1.0);
    log_line("%s batch save time: %.1lf\n", source.c_str(),
             std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return BatchConvertResult::Written;
}

void Controller::completeBatch() {
    const std::string list = batchListFile();
    if (!exists_at(list)) return;
    const int answer = showAlert("Batch", kIncompleteBatchText, {"Proceed", "Later", "Forget it"});
    BatchJournal journal = batchJournal();
    if (answer == 1002) {
        journal.forget();
        return;
    }
    if (answer != 1000) return;
    // An item that was written before the batch stopped is done already; one
    // that was being developed when the program ended abnormally is tried
    // once more, unless it crashed the program or ended it twice in a row:
    // then it is named, not taken up again.
    BatchJournal::Recovery recovered =
        journal.recover(readBatchSavedList(list).value_or(std::vector<std::string>()));
    BatchReport report;
    if (recovered.abandoned)
        report.notWritten(*recovered.abandoned, recovered.crashed ? kCrashedReason : kAbandonedReason);
    std::vector<std::string> files = expandFileList(recovered.pending);
    if (files.empty()) {
        journal.forget();
        reportBatch(report);
        return;
    }
    std::vector<BatchItem> items;
    for (std::string& f : files) items.push_back(BatchItem::path(std::move(f)));
    runBatchInThread(std::move(items), std::move(report));
}

void Controller::clickCancel(const std::string& senderTitle) { cancelCount_ = senderTitle == "Cancel" ? 1 : 2; }

void Controller::deleteBatchSaved() { ::unlink(batchSavedFile().c_str()); }

void Controller::resetFrame() {
    if (ui_) ui_->resetFrame();
}

void Controller::showNoFile(const std::string& text) {
    RawProcessor& rp = *rawProcessor_;
    if (ui_) {
        ui_->showEmptyWindow();
        if (!text.empty()) ui_->showInfoText(text);
        // No camera to offer profiles for: no Profiles menu, as at an empty
        // start (its width no longer widens the empty frame either).
        removeProfileMenu();
        ui_->resetFrame();
    }
    rp.setDestinationFile("");
    rp.setFileName("");
    rp.freeImages();
}

void Controller::resetToStartSettings() {
    RawProcessor& rp = *rawProcessor_;
    // The defaults drop the custom profile; the start's white-balance mode
    // then, and last every setting the window shows (the EVs too, not the
    // automatic ones the decoder still holds from the last file). The second
    // green follows the green by the last file's difference between its
    // greens: set again, there being no file.
    rp.resetToDefaults(false);
    rp.setUseCameraWB(startWhiteBalance_);
    rp.setUndoSettings(startSettings_);
    rp.setEvGreen2(startSettings_.get("evGreen2").double_value());
}

void Controller::showInfoOfOpenFile() {
    if (ui_) ui_->showInfoText(rawProcessor_->fileName().empty() ? std::string() : cameraInfo());
}

}  // namespace dvk
