// The delegate's parts on the main window: the presets pop-up, the Settings
// and History menus and Quit.
#pragma once

namespace dvk {

class Controller;
class ControllerWindows;
class MainWindow;

// Once, after the main window is made and set on the windows.
void wireAppDelegate(Controller& controller, ControllerWindows& windows, MainWindow& window);

}  // namespace dvk
