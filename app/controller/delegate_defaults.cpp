#include "app/controller/delegate_defaults.h"

#include <cmath>

#include "platform/user_defaults.h"

namespace dvk {

PreferenceMenuStates readPreferenceMenuStates(const UserDefaults& d) {
    PreferenceMenuStates s;
    s.keepMax = d.boolForKey("keepMax");
    s.checkForUpdates = d.boolForKey("SUCheckAtStartup");
    s.autoNextAfterSave = d.boolForKey("autoNextAfterSave");
    s.disableAutoApply = d.boolForKey("DisableAutoApply");
    s.dontOverwriteOnSave = d.boolForKey("DontOverwriteOnSave");
    s.optimizeForPP = d.boolForKey("EnableOpt");
    s.dontMouseScrollValues = d.boolForKey("DontMouseScrollValues");
    return s;
}

long whiteBalanceStepTag(const UserDefaults& defaults) {
    const double step = defaults.doubleForKey("RBGGStep");
    const long t = std::isfinite(step) && std::fabs(step) < 1e12 ? std::lround(step * 100) : 0;
    return t == 0 ? 5 : t;
}

void writeQuitDefaults(UserDefaults& d, const QuitDefaults& v) {
    if (v.window) {
        d.setInteger("CopyTags", v.window->copyTags);
        d.setInteger("HistogramR", v.window->histR);
        d.setInteger("HistogramG", v.window->histG);
        d.setInteger("HistogramB", v.window->histB);
        d.setInteger("HistogramL", v.window->histL);
        d.setInteger("FullGamut", v.window->fullGamut);
        d.setInteger("DiagramWindow", v.window->diagramWindow);
    }
    // Written even when empty, so that deleting the last editor sticks.
    d.setStringArray("Editors", v.editors);
    d.setInteger("SelectedEditor", v.currentEditor);
    if (v.rawCurveType) d.setInteger("RawCurveType", *v.rawCurveType);
    if (v.rawInterpolation) d.setInteger("RawInterpolation", *v.rawInterpolation);
    d.synchronize();
}

std::vector<std::string> readEditors(const UserDefaults& defaults) {
    return defaults.stringArrayForKey("Editors").value_or(std::vector<std::string>());
}

}  // namespace dvk
