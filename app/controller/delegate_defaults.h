// The user defaults that the application reads when launching ends and
// writes when it quits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dvk {

class UserDefaults;

// States of the seven preference menu items.
struct PreferenceMenuStates {
    bool keepMax = false;                // "keepMax"
    bool checkForUpdates = false;        // "SUCheckAtStartup"
    bool autoNextAfterSave = false;      // "autoNextAfterSave"
    bool disableAutoApply = false;       // "DisableAutoApply"
    bool dontOverwriteOnSave = false;    // "DontOverwriteOnSave"
    bool optimizeForPP = false;          // "EnableOpt"
    bool dontMouseScrollValues = false;  // "DontMouseScrollValues"
    bool operator==(const PreferenceMenuStates&) const = default;
};
PreferenceMenuStates readPreferenceMenuStates(const UserDefaults& defaults);

// The arrow-key step of the white-balance fields in hundredths: "RBGGStep" x
// 100 rounded half away from zero; 5 when that is 0 (also for no key).
long whiteBalanceStepTag(const UserDefaults& defaults);

// Window states written at quit ("CopyTags", "HistogramR", "HistogramG",
// "HistogramB", "HistogramL", "FullGamut", "DiagramWindow").
struct WindowStateDefaults {
    int copyTags = 0;
    int histR = 0, histG = 0, histB = 0, histL = 0;
    int fullGamut = 0;
    int diagramWindow = 0;  // 1 while the diagram window is visible
};

struct QuitDefaults {
    std::optional<WindowStateDefaults> window;
    std::vector<std::string> editors;  // "Editors", written even when empty
    std::int64_t currentEditor = 0;    // "SelectedEditor"
    // "RawCurveType" and "RawInterpolation", written when the open file is shown raw.
    std::optional<int> rawCurveType, rawInterpolation;
};
// Writes them and synchronises the defaults.
void writeQuitDefaults(UserDefaults& defaults, const QuitDefaults& values);

// "Editors" (an empty list when absent) and "SelectedEditor".
std::vector<std::string> readEditors(const UserDefaults& defaults);

}  // namespace dvk
