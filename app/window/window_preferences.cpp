#include "app/window/window_preferences.h"

#include <sys/utsname.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/window/window_geometry.h"
#include "core/dvklib.h"
#include "platform/alert.h"
#include "platform/log.h"
#include "platform/platform_checks.h"
#include "platform/usable_cpus.h"
#include "platform/user_defaults.h"

namespace dvk {

WindowPreferences readWindowPreferences(UserDefaults& d) {
    WindowPreferences p;
    p.legacyColorSync = d.boolForKey("LegacyColorSync");
    p.darkMode = d.boolForKey("DarkMode");
    if (auto c = parseCornerDistance(d.stringForKey("topRightPointL"))) p.topRightPointL = *c;
    if (auto c = parseCornerDistance(d.stringForKey("topRightPointP"))) p.topRightPointP = *c;
    d.setDouble("NSWindowResizeTime", 0.00001);
    d.setBool("NSAppSleepDisabled", true);
    if (d.hasKey("DiagramProfile") && !d.stringForKey("DiagramProfile").empty())
        p.diagramProfile = d.stringForKey("DiagramProfile");
    p.copyTags = static_cast<int>(d.integerForKey("CopyTags"));
    p.histR = static_cast<int>(d.integerForKey("HistogramR"));
    p.histG = static_cast<int>(d.integerForKey("HistogramG"));
    p.histB = static_cast<int>(d.integerForKey("HistogramB"));
    p.histL = static_cast<int>(d.integerForKey("HistogramL"));
    p.fullGamut = static_cast<int>(d.integerForKey("FullGamut"));
    p.diagramWindow = static_cast<int>(d.integerForKey("DiagramWindow"));
    p.enableCoreDumps = d.boolForKey("enableCoreDumps");
    p.grayPoint = d.floatForKey("GrayPoint");
    if (p.grayPoint == 0.0f) p.grayPoint = 12.5f;
    p.disableAutoApply = d.boolForKey("DisableAutoApply");
    p.enableLabOptimize = d.boolForKey("EnableOpt");
    p.dontOverwriteOnSave = d.boolForKey("DontOverwriteOnSave");
    p.dontMouseScrollValues = d.boolForKey("DontMouseScrollValues");
    p.autoNextAfterSave = d.boolForKey("autoNextAfterSave");
    if (!d.boolForKey("KeyboardHelper")) {
        p.showKeyboardHelper = true;
        d.setBool("KeyboardHelper", true);
    }
    d.synchronize();
    return p;
}

int activeCpuCount() { return usable_cpu_count(); }

void setProcessWideValues(const WindowPreferences& prefs) {
    legacy_colorsync = prefs.legacyColorSync;
    if (prefs.legacyColorSync) log_line("Using legacy ColorSync");
    band_thread_count = activeCpuCount();
}

void runPlatformChecks(bool enableCoreDumps) {
    if (enableCoreDumps) {
        log_line("Enabling core dumps");
        enable_core_dumps();
    }
    if (sysctlbyname_with_pid(0) == 0)
        showAlert(std::nullopt,
                  "You are running PowerPC version of DVK on an Intel Mac in emulation mode (Rosetta). To avoid very "
                  "significant performance degradation please use native Intel version of DVK!",
                  {"Ok"});
}

int platformVersionNumber(const std::string& release) {
    int parts[3] = {0, 0, 0};
    const char* s = release.c_str();
    for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        const long v = std::strtol(s, &end, 10);
        if (end == s) break;
        parts[i] = static_cast<int>(v);
        if (*end != '.') break;
        s = end + 1;
    }
    return parts[0] * 10000 + parts[1] * 100 + parts[2];
}

int platformVersionNumber() {
    struct utsname u;
    if (uname(&u) != 0) return 0;
    return platformVersionNumber(u.release);
}

SaveButtonText saveButtonText(bool autoNextAfterSave) {
    if (autoNextAfterSave) return {"Save/Next", "Save and open next Raw file (Ctrl+S)"};
    return {"Save", "Save (Ctrl+S)"};
}

std::optional<PreferenceToggle> togglePreference(int tag, bool currentState, UserDefaults& defaults) {
    static const char* const keys[] = {"SUCheckAtStartup", "autoNextAfterSave", "keepMax",    "DisableAutoApply",
                                       "EnableOpt",        "DontOverwriteOnSave", "DontMouseScrollValues"};
    std::optional<PreferenceToggle> result;
    if (tag >= 1 && tag <= 7) {
        result = PreferenceToggle{tag, keys[tag - 1], !currentState};
        defaults.setBool(result->key.c_str(), result->state);
    }
    defaults.synchronize();
    return result;
}

std::optional<Appearance> switchDarkLightMode(bool on, Appearance current) {
    if (on) {
        if (current == Appearance::System || current == Appearance::Light) return Appearance::Dark;
    } else {
        if (current == Appearance::System || current == Appearance::Dark) return Appearance::Light;
    }
    return std::nullopt;
}

}  // namespace dvk
