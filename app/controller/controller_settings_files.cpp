// Controller: settings to and from the clipboard and settings files, and
// settings files for many raw files at once.
#include <memory>

#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/batch/multiple_settings.h"
#include "app/menus/profile_menu.h"
#include "app/preview/preview_controller.h"
#include "pipeline/settings/settings_file.h"
#include "pipeline/writers/output_naming.h"
#include "platform/alert.h"
#include "platform/folder_functions.h"
#include "platform/log.h"
#include "platform/panels.h"

namespace dvk {

void Controller::reportFailedWrites(std::size_t count, const std::string& firstPath) {
    if (count == 0) return;
    if (count == 1)
        showAlertf("Settings not written", {"Ok"}, "Could not write the settings file\n%s", firstPath.c_str());
    else
        showAlertf("Settings not written", {"Ok"}, "Could not write %zu settings files, the first:\n%s", count,
                   firstPath.c_str());
}

void Controller::copySettings(const std::string& senderTitle) {
    RawProcessor& r = *rawProcessor_;
    if (senderTitle == "Export Settings") {
        // With no output name (no file open) the text goes to the clipboard.
        const std::string output = r.makeFullDestinationFileName();
        // Beside the output, whose folder a destination may name before any save made it.
        if (!output.empty()) createDirectoryPath(deleting_last_path_component(output));
        if (!r.exportSettingsToFile(output, false) && !output.empty())
            reportFailedWrites(1, settings_path_with_extension(output));
        return;
    }
    r.exportSettingsToFile(std::string(), true);
}

void Controller::exportSettingsAs() {
    RawProcessor& r = *rawProcessor_;
    const std::string proposed = r.makeFullDestinationFileName() + "." + kSettingsExtension;
    SavePanelRequest request;
    if (!r.makeFullDestinationFileName().empty()) {
        const std::size_t slash = proposed.rfind('/');
        request.directory = slash == std::string::npos ? std::string() : proposed.substr(0, slash);
        request.fileName = last_path_component(proposed);
    }
    std::optional<std::string> path = runSavePanel(request);
    if (!path) return;
    if (!r.exportSettingsToFile(*path, false)) reportFailedWrites(1, settings_path_with_extension(*path));
}

void Controller::pasteSettings() {
    // Only while nothing loads or converts with the open file's processor.
    if (isBusy()) {
        log_line("Paste ignored: busy");
        return;
    }
    auto change = [this] {
        if (!rawProcessor_->importSettingsFromFile(std::string())) return;
        showProfileAndApply();
    };
    // Once the apply worker leaves the processor alone.
    preview_->whenIdle(change);
}

void Controller::showProfileAndApply() {
    const std::string profile = rawProcessor_->customRawProfile();
    setCustomCameraProfile(profile.empty() ? std::string("Default") : profile);
    if (ui_ && !ui_->disableAutoApply()) ui_->apply(std::string());
}

std::vector<std::string> Controller::chooseFilesForMultipleSettings(const char* title, const char* action) {
    if (isBusy()) return {};
    std::vector<std::string> files = chooseFilesFromOpenFile();
    if (files.empty()) return {};
    if (showAlertf(title, {"Continue", "Cancel"}, "You are about to %s settings for %lu selected files", action,
                   static_cast<unsigned long>(files.size())) != 1000)
        return {};
    if (isBusy()) return {};
    return files;
}

void Controller::exportMultipleSettings() {
    std::vector<std::string> files = chooseFilesForMultipleSettings("Export settings for multiple files", "export");
    if (files.empty()) return;

    // Each file is opened by the raw decoder: on a worker, with the progress shown.
    rawProcessor_->setProgress(1.0);
    auto token = std::make_shared<ActivityTracker::Token>(activity_.begin());
    threads_.start([this, files = std::move(files), token] {
        RawProcessor temp;
        std::size_t failed = 0, done = 0;
        std::string firstFailed;
        const std::string profileFolder = userProfileFolder(applicationSupportFolder());
        for (const std::string& file : files) {
            if (threads_.stopRequested()) return;
            SettingsFileOutcome outcome = exportSettingsForRawFile(
                temp, file, [this](RawProcessor& p) { return directoryDefault(&p); }, profileFolder);
            if (outcome == SettingsFileOutcome::Failed && failed++ == 0) firstFailed = settingsFileOfRawFile(file);
            setProgressMT(1.0 + 98.0 * static_cast<double>(++done) / static_cast<double>(files.size()));
        }
        setProgressMT(0);
        reportFailedWrites(failed, firstFailed);
    });
}

void Controller::importMultipleSettings() {
    std::vector<std::string> files = chooseFilesForMultipleSettings("Import settings for multiple files", "import");
    if (files.empty()) return;

    rawProcessor_->setProgress(1.0);
    auto token = std::make_shared<ActivityTracker::Token>(activity_.begin());
    threads_.start([this, files = std::move(files), token] {
        RawProcessor temp;
        std::vector<HistoryMO> records;
        std::size_t done = 0;
        const std::string support = applicationSupportFolder();
        for (const std::string& file : files) {
            if (threads_.stopRequested()) return;
            if (std::optional<HistoryMO> record = importedSettingsRecord(temp, file, support))
                records.push_back(std::move(*record));
            setProgressMT(1.0 + 98.0 * static_cast<double>(++done) / static_cast<double>(files.size()));
        }
        log_line("Imported settings for %zu of %zu files", records.size(), files.size());
        // One transaction: every record is kept, or none (and the user is told once).
        if (!records.empty())
            insertHistoryRecords("Controller::importMultipleSettings", records, "Could not save changes to history");
        setProgressMT(0);
    });
}

}  // namespace dvk
