// extEditorsButtonChanged: on the editors pop-up ("Don't open", "Open in
// <name>" per editor, a separator, "New...", "Delete"): choosing an item
// selects that editor, "New..." adds one through the open panel (starting in
// /usr/share/applications), "Delete" removes the current one after asking.
// The pop-up's items come from initEditorsButton (EditorsAccess).
#pragma once

#include "app/common/alert_function.h"
#include "app/controller/help_actions.h"

class QComboBox;

namespace dvk {

// The open panel for one file, no folders, any type.
std::optional<std::string> chooseEditorFile(const std::string& folder);

// Handles one choice of item `chosen` in `popUp`.
void extEditorsButtonChanged(QComboBox& popUp, int chosen, const EditorsAccess& editors,
                             const AlertFunction& alert = programAlert(),
                             const ChooseFileFunction& chooseFile = chooseEditorFile);

// Calls extEditorsButtonChanged for every item the user picks in `popUp`
// (by the mouse or, for a PopUpButtonScroller, the wheel).
void connectEditorsPopUp(QComboBox& popUp, EditorsAccess editors, AlertFunction alert = programAlert(),
                         ChooseFileFunction chooseFile = chooseEditorFile);

}  // namespace dvk
