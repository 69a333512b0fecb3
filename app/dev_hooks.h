// Developer hooks: environment variables that let scripted checks drive the
// whole program (any argument beyond the program path would put it in
// command-line mode, so the hooks never come as options). They are read
// here, once; each changes only what it names.
//
//   DVK_DEV_QUIT_IDLE=1        quit the normal way once the launch work and
//                              every open, save, batch and tag copy it
//                              started have ended
//   DVK_DEV_ALERTS=first|A,B   show no alert: each takes the first of its
//                              buttons named in the list, else its first
//                              button; panels answer Cancel
//   DVK_DEV_SCREENSHOT=PATH    grab the main window once the named file is
//                              shown (and DVK_DEV_SET applied, the apply
//                              worker idle) into PATH (PNG, or binary PPM for
//                              ".ppm"), write PATH.rects, quit; exit 1 when
//                              the file fails to open or no preview comes in
//                              120 s; alerts take their first button
//   DVK_DEV_SET="K=V;K=V"      settings applied before the grab (apply:)
//   DVK_DEV_ACTIONS="a: b:"    menu actions run in order after launch
//   DVK_DEV_EXIFTOOL=PATH      the program run in place of /usr/bin/exiftool
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/alert.h"

namespace dvk {

struct DevHooks {
    bool quitIdle = false;
    bool scriptedAlerts = false;
    std::vector<std::string> alertButtons;  // the list of DVK_DEV_ALERTS ("first": empty)
    std::string screenshot;
    std::string set;
    std::string actions;
    std::string exiftool;
};

// Reads the hooks through `getenv` (tests pass their own).
DevHooks readDevHooks(const std::function<const char*(const char*)>& getenv);
// The process's hooks, read from the environment on first use.
const DevHooks& devHooks();

// The answer of an alert under DVK_DEV_ALERTS: the first of its buttons that
// the list names, else its first button (1000 + position).
int devAlertAnswer(const std::vector<std::string>& listed, const AlertRequest& request);
// Installs the alert answerer and Cancel panels when the hooks script alerts
// (the screenshot hook answers every alert with its first button).
void installDevAlertsAndPanels(const DevHooks& hooks);

// The settings of DVK_DEV_SET in order: "KEY=VALUE" items split at ';',
// blanks around keys and values dropped; an item without '=' or key is
// logged and skipped.
std::vector<std::pair<std::string, std::string>> parseDevSettings(const std::string& text);

// The lines of PATH.rects: "imageView X Y W H" and "histogramView X Y W H".
std::string devScreenshotRects(int imageX, int imageY, int imageW, int imageH, int histX, int histY, int histW,
                               int histH);

}  // namespace dvk
