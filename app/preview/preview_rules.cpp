#include "app/preview/preview_rules.h"

#include <algorithm>
#include <cmath>

namespace dvk {

ApplyPlan planApply(bool imageLoaded, bool hasEngineImage, const ApplySender& sender, bool disableAutoApply,
                    bool optionHeld) {
    ApplyPlan plan;
    const bool resetTitle = sender.title && *sender.title == kResetToDefaultsTitle;
    if (!imageLoaded && !resetTitle) {
        plan.redrawDiagram = true;
        return plan;
    }
    if (!hasEngineImage) return plan;
    plan.selectFirstPreset = !sender.isSettingsString;
    if (disableAutoApply && sender.title && *sender.title != kApplyTitle) return plan;
    const bool option = optionHeld || sender.option;
    plan.resetToDefaults = resetTitle || (option && sender.title && *sender.title == kApplyTitle);
    plan.run = true;
    return plan;
}

int currentOrientation(int rotation, int fileFlip) { return rotation >= 10 ? rotation - 10 : fileFlip; }

int rotatedOrientation(int code, bool left) {
    switch (code) {
    case 0: return left ? 5 : 6;
    case 3: return left ? 6 : 5;
    case 5: return left ? 3 : 0;
    case 6: return left ? 0 : 3;
    default: return code;
    }
}

std::optional<double> autoExposure(const float chanMax[4], bool option, unsigned whiteLevel, double exposure) {
    double next;
    if (!option) {
        const float m = chanMax[1];
        if (!(m > 0)) return std::nullopt;
        next = -std::log2(m);
    } else {
        const double m = std::max(chanMax[0], chanMax[1]);
        if (!(m > 0) || whiteLevel == 0) return std::nullopt;
        next = -std::log2(m);
    }
    if (std::abs(next - exposure) < 0.01) return std::nullopt;
    return next;
}

std::optional<double> highlightRecoveryExposure(double exposure, double evRed, double evGreen, double evBlue) {
    const float e = static_cast<float>(exposure);
    const float r = static_cast<float>(evRed), g = static_cast<float>(evGreen), b = static_cast<float>(evBlue);
    const float spread = std::max({r, g, b}) - std::min({r, g, b});
    if (!(e > -spread)) return std::nullopt;
    return -(static_cast<double>(spread) + static_cast<double>(0.005f));
}

}  // namespace dvk
