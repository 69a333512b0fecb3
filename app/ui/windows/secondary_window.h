// Opening a secondary window (keyboard helper, history, profiling panel,
// gamut diagram) as a user expects it: on the screen, in front, and beside
// the main window rather than under it.
#pragma once

class QWidget;

namespace dvk {

// Shows `window` and brings it to the front, active. A window that is not
// on show yet opens beside `mainWindow` and clear of the other secondary
// windows where it can (the rule of window_placement.h: never over its menu
// bar or panel), and one that was on show before comes back where it was,
// kept wholly on the screen, unless the main window's menu bar or panel is
// there now. Without a main window it opens where the window system puts
// it, kept on the screen. From then on the window comes to the top whenever
// it becomes the active one (without a window manager the program stacks
// its windows itself).
void openSecondaryWindow(QWidget& window, const QWidget* mainWindow);

// After `mainWindow`'s frame changed: each secondary window on show that
// now covers its menu bar or panel, or that it has come over, is placed
// again by the same rule and raised. A move the user made places nothing.
void placeSecondaryWindowsAgain(const QWidget& mainWindow, bool movedByUser);

// After `mainWindow` came to the front (it raises itself when it becomes the
// active window): the visible windows kept in front of it (its dialogs and
// tool windows) are raised again (window systems without a window manager
// stack by the last raise alone).
void raiseWindowsInFrontOf(const QWidget& mainWindow);

}  // namespace dvk
