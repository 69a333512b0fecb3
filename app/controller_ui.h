// What the controller asks of its windows. The Qt windows (app/ui/)
// implement it; the controller's rules run without them (tools, tests), where
// every request does nothing. Calls come on the main thread.
#pragma once

#include <string>

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
};

}  // namespace dvk
