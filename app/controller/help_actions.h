// The actions of the Help and Tools menus on the controller: feedback:,
// openManual:, archiveCrashLogs:, copyCrashLog:, installLR2Plugin: and
// exportBatchSavedToApp:. Each binds the rule of its own file (help.h,
// diagnostics.h, plugin_install.h, batch_export.h) to the controller's
// folders and the program's layers: alerts, the process runner, the URL
// opener. Main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/common/alert_function.h"

namespace dvk {

class Controller;

// The controller's external editors and the chosen item of the editors
// pop-up (0: "Don't open", n: editors[n - 1]), as the actions that use them
// see them. A part left empty reads as no editor.
struct EditorsAccess {
    std::function<std::vector<std::string>&()> editors;
    std::function<std::int64_t()> currentEditor;
    std::function<void(std::int64_t)> setCurrentEditor;
    // initEditorsButton: the pop-up's items again from the editors.
    std::function<void()> initEditorsButton;
};

class HelpActions {
public:
    explicit HelpActions(Controller& controller, AlertFunction alert = programAlert());

    void setEditors(EditorsAccess editors) { editors_ = std::move(editors); }
    const EditorsAccess& editors() const { return editors_; }

    // The feedback mail (logs "Feedback %i"); without a program to write it,
    // an alert says where to write.
    void feedback();
    // The manual, when the sender's title is "Manual"; without a program to
    // show it, an alert says where it is.
    void openManual(const std::string& senderTitle);
    // Packs the logs, the preferences and the crash reports on the desktop
    // and tells the user where. Returns at once; the work counts as running
    // (the activity record) until the user has been told.
    void archiveCrashLogs();
    // Nothing: the diagnostics archive carries the crash reports.
    void copyCrashLog() {}
    // The Lightroom plug-in and its export preset.
    void installLR2Plugin();
    // The files of the last batch in the current editor.
    void exportBatchSavedToApp();

private:
    Controller& controller_;
    AlertFunction alert_;
    EditorsAccess editors_;
};

}  // namespace dvk
