// The Tools and Help menus: the plug-in installation and the last batch's
// files in the chosen editor; the manual, the feedback mail and the
// diagnostics archive. Each item's object name is its action's name
// ("installLR2Plugin:", ...), by which DVK_DEV_ACTIONS finds it.
#pragma once

class QMenuBar;

namespace dvk {

class HelpActions;

// Appends the two menus to `bar`; `actions` must outlive it.
void addToolsAndHelpMenus(QMenuBar& bar, HelpActions& actions);

}  // namespace dvk
