// Which items of the menus can act now. An item that works on the open file
// (saving it, stepping from it, trashing it, copying or pasting its
// settings, making them a default, rotating or profiling its image, ...) is
// disabled while no file is open. Items are known by their action names (the
// object names DVK_DEV_ACTIONS uses); any other item is enabled.
#pragma once

#include <string>

namespace dvk {

struct MenuEnablingState {
    bool fileOpen = false;  // a raw file is open in the window
};

bool menuItemEnabled(const std::string& actionName, const MenuEnablingState& state);

}  // namespace dvk
