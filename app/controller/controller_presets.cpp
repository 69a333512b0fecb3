// Controller: named presets and the settings selector.
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "platform/alert.h"
#include "platform/log.h"

namespace dvk {

std::string Controller::getPresetFileFromName(const std::string& name) const {
    return dvk::getPresetFileFromName(applicationSupportFolder(), name);
}

void Controller::createPresetsMenu() {
    presetsMenu_.rebuild(applicationSupportFolder());
    if (ui_) ui_->presetsMenuChanged();
}

void Controller::presetSelected(std::size_t index) {
    const PresetMenuItem* item = presetsMenu_.item(index);
    if (!item) return;
    switch (item->tag) {
        case kPresetItemTag:
            // The preset's settings file onto the open file by the open road,
            // here on the main thread; not while a road uses its processor.
            if (isBusy())
                log_line("Preset %s not applied: busy", item->title.c_str());
            else
                openFile(item->file, std::nullopt);
            presetsMenu_.setCurrentPreset(index);
            break;
        case kPresetDeleteTag:
            if (const PresetMenuItem* preset = presetsMenu_.presetToDelete()) {
                const int answer = showAlertf(std::nullopt, {"Yes", "Cancel"},
                                              "Are you sure that you want to delete %s from the list?",
                                              preset->title.c_str());
                if (answer == 1000 && unlink(preset->file.c_str()) != 0)
                    log_line("Can't delete %s: %s", preset->file.c_str(), std::strerror(errno));
            }
            createPresetsMenu();
            break;
        case kPresetNewTag:
            if (ui_) ui_->runCreatePresetWindow();
            break;
        default:
            break;
    }
}

bool Controller::closePresetWindow(const std::string& buttonTitle, const std::string& presetName) {
    if (buttonTitle == "Ok") {
        if (std::optional<std::string> problem = presetNameProblem(presetName)) {
            showAlert("Wrong preset name", *problem, {"Ok"});
            return false;
        }
        std::string file = getPresetFileFromName(presetName);
        if (const PresetMenuItem* existing = presetsMenu_.presetTitled(presetTitleForName(presetName))) {
            if (showAlertf(std::nullopt, {"Cancel", "Overwrite"}, "Preset with name \"%s\" already exists",
                           presetName.c_str()) != 1001)
                return false;
            // The file the item stands for, whatever the case of its extension.
            file = existing->file;
        }
        setDisabledSettings();
        saveDisabledSettings();
        if (!rawProcessor_->exportSettingsToFile(file, true)) reportFailedWrites(1, file);
    } else {
        restoreDisabledSettings();
    }
    createPresetsMenu();
    return true;
}

void Controller::showSettingSelectorWindow() {
    if (ui_) ui_->runSettingsSelectorWindow();
}

void Controller::closeSettingsSelectorWindow(const std::string& buttonTitle) {
    if (buttonTitle == "Ok") {
        setDisabledSettings();
        saveDisabledSettings();
    } else {
        restoreDisabledSettings();
    }
}

void Controller::restoreDisabledSettings() {
    settingsSelector_.restoreDisabledSettings(defaults(), *rawProcessor_);
    if (ui_) ui_->settingsSelectorChanged();
}

void Controller::saveDisabledSettings() { settingsSelector_.saveDisabledSettings(defaults()); }

void Controller::setDisabledSettings() { settingsSelector_.setDisabledSettings(*rawProcessor_); }

}  // namespace dvk
