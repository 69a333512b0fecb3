// What the controller asks of its windows. The Qt windows (app/ui/)
// implement it; the controller's rules run without them (tools, tests), where
// every request does nothing. Calls come on the main thread.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/delegate_defaults.h"

namespace dvk {

class ControllerUi {
public:
    virtual ~ControllerUi() = default;
    // The info text of the main window (progress texts of the open road too).
    virtual void showInfoText(const std::string& text) {}
    // Paint the main window now, before returning.
    virtual void displayMainWindow() {}
    virtual void bringMainWindowToFront() {}
    // Quit the normal way (as the Quit command does).
    virtual void terminate() {}

    // --- the main window's settings road ------------------------------------
    // Runs `change` (which changes the open file's settings) once the apply
    // worker leaves the RawProcessor alone: at once, or right after its run.
    virtual void whenApplyIdle(std::function<void()> change) { change(); }
    // setCustomCameraProfile: with a profile's title, a file name or "Default".
    virtual void setCustomCameraProfile(const std::string& name) {}
    // The "DisableAutoApply" preference, and apply: with a sender's title ("" : nil).
    virtual bool disableAutoApply() const { return false; }
    virtual void apply(const std::string& senderTitle) {}

    // --- launch and quit -------------------------------------------------------
    virtual void setPreferenceMenuStates(const PreferenceMenuStates& states) {}
    // The arrow-key step of the four white-balance fields, in hundredths.
    virtual void setWhiteBalanceStepTag(long tag) {}
    // The main window takes dropped files from now on.
    virtual void registerForDrops() {}
    // The window states written at quit; nullopt writes none of them.
    virtual std::optional<WindowStateDefaults> windowStateDefaults() const { return std::nullopt; }
    // Another file is about to be loaded, or the program quits: the
    // camera-profiling panel's close steps run and it closes (when it is up).
    virtual void closeProfilingWindow() {}

    // --- presets and the settings selector ---------------------------------------
    // The presets pop-up's items (controller.presetsMenu()) changed.
    virtual void presetsMenuChanged() {}
    // The selector's checkboxes (controller.settingsSelector()) changed.
    virtual void settingsSelectorChanged() {}
    // Run the settings-selector window, or the new-preset window, modally.
    virtual void runSettingsSelectorWindow() {}
    virtual void runCreatePresetWindow() {}

    // --- history maintenance --------------------------------------------------------
    // Run the rename-source panel modally (controller.renameSourceState()).
    virtual void runRenameSourcePanel() {}
    // Its combo boxes' items changed (a search ended).
    virtual void renameSourcePanelChanged() {}
};

}  // namespace dvk
