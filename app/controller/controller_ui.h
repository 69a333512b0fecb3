// What the controller asks of its windows. The Qt windows (app/ui/)
// implement it; the controller's rules run without them (tools, tests), where
// every request does nothing. Calls come on the main thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/controller/delegate_defaults.h"
#include "app/menus/editors_button_items.h"

namespace dvk {

class ControllerUi {
public:
    virtual ~ControllerUi() = default;
    // The info text of the main window (progress texts of the open road too).
    virtual void showInfoText(const std::string& text) {}
    // A line of the main window's for what the user should know without an
    // alert (the files a step to the next file passed); "" hides it.
    // `details` is its whole text (its tool tip).
    virtual void showStatusLine(const std::string& text, const std::string& details = std::string()) {}
    // Paint the main window now, before returning.
    virtual void displayMainWindow() {}
    virtual void bringMainWindowToFront() {}
    // Quit the normal way (as the Quit command does).
    virtual void terminate() {}

    // --- the open road ---------------------------------------------------------
    // The main window's title and the file it represents ("" : none).
    virtual void setMainWindowTitle(const std::string& title, const std::string& representedFile) {}
    // A new file was loaded (not the one open before): the window's undo
    // actions go, the image view gets a new crop marker, the readouts read 0,
    // the show-previous button is disabled and off, the previous states are
    // cleared and the presets pop-up shows its first item.
    virtual void resetForNewFile() {}
    // The opened file's preview is developed: the window maximised when
    // "keepMax" asks for it, and the interpolations the file's sensor offers
    // (`sensorFilters`: the decoder's filters of the file).
    virtual void fileOpened(unsigned sensorFilters) {}
    // The "DisableAutoApply" preference, and apply: with a sender's title
    // ("" : nil; "Settings": a settings file was applied).
    virtual bool disableAutoApply() const { return false; }
    virtual void apply(const std::string& senderTitle) {}
    // The Save button's title in the system blue (the Lab optimisation is on).
    virtual void setSaveButtonHighlighted(bool on) {}

    // --- saving ----------------------------------------------------------------
    // A save starts: the show-previous button is switched off.
    virtual void switchShowPreviousOff() {}
    // updatePrev: the image on screen joins the previous states.
    virtual void updatePrev() {}
    virtual double progressMaximum() const { return 100; }
    // The copy-tags box is on.
    virtual bool copyTagsChecked() const { return false; }
    // The Save button's title ("Save/Next" asks for the next file after saving).
    virtual std::string saveButtonTitle() const { return "Save"; }
    // The editors pop-up's items (initEditorsButton), and the item to select.
    virtual void setEditorsButtonItems(const std::vector<EditorsButtonItem>& items, long selected) {}

    // --- batch, trash: the empty window ------------------------------------------
    virtual void showCancelButton(bool shown) {}
    // No file, as at an empty start: the image, histogram and diagram go,
    // the info text is emptied, the settings are those of the start
    // (Controller::resetToStartSettings), the title is the program's name
    // and no file is represented.
    virtual void showEmptyWindow() {}
    // resetFrame: the main window 256 x 720 at its anchor, redisplayed.
    virtual void resetFrame() {}

    // --- launch and quit -------------------------------------------------------
    virtual void setPreferenceMenuStates(const PreferenceMenuStates& states) {}
    // The arrow-key step of the four white-balance fields, in hundredths.
    virtual void setWhiteBalanceStepTag(long tag) {}
    // The main window takes dropped files from now on.
    virtual void registerForDrops() {}
    // The window states written at quit; nullopt writes none of them.
    virtual std::optional<WindowStateDefaults> windowStateDefaults() const { return std::nullopt; }

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
