// The main window's set-up from the user defaults, the process-wide values
// it sets for the engine, the preference menu's toggles and the appearance
// switch. Qt-free: the window shows what these return.
#pragma once

#include <optional>
#include <string>

#include "app/window/window_placement.h"

namespace dvk {

class UserDefaults;

struct WindowPreferences {
    bool legacyColorSync = false;
    bool darkMode = false;
    CornerDistance topRightPointL, topRightPointP;
    std::optional<std::string> diagramProfile;
    int copyTags = 0;
    int histR = 0, histG = 0, histB = 0, histL = 0;
    int fullGamut = 0;
    int diagramWindow = 0;
    bool enableCoreDumps = false;
    float grayPoint = 12.5f;
    bool disableAutoApply = false;
    bool enableLabOptimize = false;
    bool dontOverwriteOnSave = false;
    bool dontMouseScrollValues = false;
    bool autoNextAfterSave = false;
    bool showKeyboardHelper = false;  // first start: the keyboard helper window opens
};

// Reads the window's preferences and writes the values rewritten at every
// start ("NSWindowResizeTime" 1e-05, "NSAppSleepDisabled" YES, and
// "KeyboardHelper" YES once the helper has been shown), synchronising them.
WindowPreferences readWindowPreferences(UserDefaults& defaults);

// The process-wide values of the engine: band_thread_count from the CPUs this
// process may run on (2 when that cannot be read) and legacy_colorsync.
// Logs "Using legacy ColorSync" when set.
void setProcessWideValues(const WindowPreferences& prefs);
int activeCpuCount();
// The platform steps of the window set-up: with "enableCoreDumps" set, logs
// "Enabling core dumps" and lifts the core-dump limit (enable_core_dumps);
// then asks sysctlbyname_with_pid whether the process runs translated and,
// when it does, tells the user to run the native build.
void runPlatformChecks(bool enableCoreDumps);

// The platform version number major x 10000 + minor x 100 + third part, from
// the kernel's release ("6.1.0-18-amd64" 60100); 0 when unreadable.
int platformVersionNumber();
int platformVersionNumber(const std::string& release);

struct SaveButtonText {
    std::string title, toolTip;
};
// "Save/Next" with "Save and open next Raw file (Ctrl+S)", or "Save" with "Save (Ctrl+S)".
SaveButtonText saveButtonText(bool autoNextAfterSave);

// A preference menu item (tags 1 to 7): its key and new state, the opposite of
// `currentState`, stored in the defaults (which are synchronised for any tag).
struct PreferenceToggle {
    int tag = 0;
    std::string key;
    bool state = false;
};
std::optional<PreferenceToggle> togglePreference(int tag, bool currentState, UserDefaults& defaults);

// Appearance of the application: none chosen (the system's), light or dark.
enum class Appearance { System, Light, Dark };
// The appearance the switch asks for, when it changes anything: on asks for
// dark (from none or light), off for light (from none or dark). The caller
// stores "DarkMode" when a change is made.
std::optional<Appearance> switchDarkLightMode(bool on, Appearance current);

}  // namespace dvk
