// Controller: history records and defaults, the actions of the history window.
#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/history/history_defaults.h"
#include "app/preview/preview_controller.h"
#include "pipeline/load/load_raw_file.h"
#include "pipeline/writers/output_naming.h"
#include "pipeline/writers/save_formats.h"
#include "platform/alert.h"
#include "platform/dispatch.h"
#include "platform/log.h"
#include "platform/modifier_keys.h"

namespace dvk {

bool Controller::writeHistory(const char* method, const std::function<bool(HistoryStore::Transaction&)>& body,
                              const char* alertText) {
    std::string error;
    if (persistentStoreCoordinator().write(body, &error)) return true;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        lastHistoryError_ = error;
    }
    if (!options_.tellStoreProblems) return false;
    log_line("%s %s", method, error.c_str());
    presentError(error);
    showAlert(std::nullopt, std::string(alertText), {"Cancel"});
    return false;
}

bool Controller::insertHistoryRecords(const char* method, std::vector<HistoryMO>& records, const char* alertText) {
    return writeHistory(
        method,
        [&](HistoryStore::Transaction& t) {
            for (HistoryMO& r : records)
                if (!t.insert(r)) return false;
            return true;
        },
        alertText);
}

std::optional<HistoryMO> Controller::addCurrentSettingsToHistoryWithSource(
    const std::string& source, const std::optional<std::string>& destination, const std::optional<std::string>& comment,
    RawProcessor* r) {
    if (source.empty() || !r || !destination) return std::nullopt;
    return addHistoryRecord(historyRecordFromSettings(*r, source, *destination, comment));
}

std::optional<HistoryMO> Controller::addHistoryRecord(HistoryMO record) {
    record.setValueForKey("creationDate", historyNow());
    if (!writeHistory(
            "Controller::addCurrentSettingsToHistoryWithSource",
            [&](HistoryStore::Transaction& t) { return t.insert(record); }, "Could not save changes to history"))
        return std::nullopt;
    return record;
}

std::optional<HistoryMO> Controller::addToHistory(const std::optional<std::string>& comment) {
    RawProcessor* r = rawProcessor_.get();
    if (r->fileName().empty()) return std::nullopt;
    auto record = addCurrentSettingsToHistoryWithSource(r->fileName(), r->destinationFile(),
                                                        comment.value_or("Action: Manual"), r);
    if (record) runOnMainQueueWhileAlive([this, record = *record] { selectSettings(record); });
    return record;
}

void Controller::addToHistoryForMany() {
    std::vector<HistoryMO> selected = historyList_.selectedObjects();
    if (selected.size() != 1) {
        showAlert("Wrong selection", "Please select exactly one record in History", {"Ok"});
        return;
    }
    std::string shown;
    HistoryMO templateRecord = propagationTemplate(selected.front(), &shown);

    std::vector<std::string> files = chooseFilesFromOpenFile();
    if (files.empty()) return;

    if (showAlert("Set settings for multiple files", propagationConfirmationText(files.size(), shown),
                  {"Continue", "Cancel"}) != 1000)
        return;

    // Each file gets its own camera, so that its own default lookup finds the record.
    std::vector<HistoryMO> records;
    const double now = historyNow();
    for (const std::string& file : files) {
        char camera[256] = "";
        if (identify_camera(file.c_str(), camera) == 0)
            records.push_back(propagatedRecord(templateRecord, file, camera, now));
    }
    if (records.empty()) return;
    insertHistoryRecords("Controller::addToHistoryForMany", records, "Could not insert record to History");
}

void Controller::reloadWithSelectedHistoryRecord() {
    std::vector<HistoryMO> selected = historyList_.selectedObjects();
    if (selected.empty()) return;
    // Only while nothing loads or converts with the open file's processor.
    if (isBusy()) {
        log_line("Reload from history ignored: busy");
        return;
    }
    if (ui_) ui_->bringMainWindowToFront();
    // Once the apply worker leaves the processor alone.
    preview_->whenIdle([this, record = selected.front()] {
        setFromHistory(record);
        showProfileAndApply();
    });
}

void Controller::setFromHistory(const HistoryMO& record) {
    RawProcessor& r = *rawProcessor_;
    std::string destination = r.destinationFile();
    r.setSettings(record.keyValueSource());
    // The destination kept takes the extension of the record's save format.
    r.setDestinationFile(kept_destination_for_format(destination, is_jpeg_writer(r.dvklib()->save_writer)));
}

void Controller::removeFromHistory() {
    std::vector<HistoryMO> selected = historyList_.selectedObjects();
    if (selected.empty()) return;
    if (showAlert(std::nullopt, "Are you sure you want to remove selected records from history?",
                  {"Cancel", "Remove"}) != 1001)
        return;
    std::string error;
    bool ok = persistentStoreCoordinator().write(
        [&](HistoryStore::Transaction& t) {
            for (const HistoryMO& r : selected)
                if (!t.remove(r.objectID())) return false;
            return true;
        },
        &error);
    if (!ok) {
        log_line("%s %s", "Controller::removeFromHistory", error.c_str());
        presentError(error);
        showAlert(std::nullopt, "Could not save the change to history", {"Ok"});
    }
}

std::optional<HistoryMO> Controller::directoryDefault(RawProcessor* r) {
    if (!r) r = rawProcessor_.get();
    if (!r || r->fileName().empty()) return std::nullopt;
    HistoryStore& store = persistentStoreCoordinator();
    if (!store.isOpen()) return std::nullopt;
    return findDirectoryDefault(store, r->camera(), r->fileName());
}

bool Controller::areCurrentSettingsDefaultInHistory() {
    std::optional<HistoryMO> d = directoryDefault(nullptr);
    return d && settingsEqualRecord(*rawProcessor_, *d);
}

void Controller::setDirectoryDefault() {
    std::vector<HistoryMO> selected = historyList_.selectedObjects();
    if (selected.size() != 1) {
        showAlert("Wrong selection", "Please select exactly one record", {"Ok"});
        return;
    }
    const bool control = (currentModifierFlags() & kControlKeyMask) != 0;
    HistoryMO target = folderDefaultFrom(selected.front(), rawProcessor_->useCameraWB(), control, historyNow());
    if (!writeHistory(
            "Controller::setDirectoryDefault",
            [&](HistoryStore::Transaction& t) { return target.objectID() ? t.update(target) : t.insert(target); },
            "Could not save changes to history"))
        return;
    selectSettings(target);
}

void Controller::setGlobalCameraDefault() {
    std::vector<HistoryMO> selected = historyList_.selectedObjects();
    if (selected.size() != 1) {
        showAlert("Something is wrong", "", {"Ok"});
        return;
    }
    HistoryMO target = globalCameraDefaultFrom(selected.front(), rawProcessor_->useCameraWB());
    if (!writeHistory(
            "Controller::setGlobalCameraDefault",
            [&](HistoryStore::Transaction& t) { return t.update(target); }, "Could not save changes to history"))
        return;
    selectSettings(target);
}

void Controller::addToHistoryAndSetDirectoryDefault(const std::string& senderTitle) {
    if (rawProcessor_->fileName().empty()) return;
    if ((currentModifierFlags() & kAlternateKeyMask) || senderTitle == "Set current settings as Camera Default") {
        // Only the record just added may become the camera default.
        std::optional<HistoryMO> added = addToHistory("Global Default");
        if (!added || !selectSettings(*added)) historyList_.clearSelection();
        setGlobalCameraDefault();
        return;
    }
    if (!areCurrentSettingsDefaultInHistory()) addToHistory("Action: Set Default");
    // The default to move is selected; when it cannot be (none, or not
    // shown), nothing stays selected, so no other record is changed.
    std::optional<HistoryMO> d = directoryDefault(nullptr);
    if (!d || !selectSettings(*d)) historyList_.clearSelection();
    setDirectoryDefault();
}

bool Controller::selectSettings(const HistoryMO& record) {
    long index = historyList_.indexOfObjectWithID(record.objectID());
    if (index < 0) {
        log_line("Can't find index for settings\n%lld\nin\n%zu records", static_cast<long long>(record.objectID()),
                 historyList_.arrangedObjects().size());
        return false;
    }
    historyList_.setSelectionIndex(static_cast<std::size_t>(index));
    return true;
}

}  // namespace dvk
