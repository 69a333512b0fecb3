// Decisions of the preview road that need no window: what an apply request
// does, the orientation after a rotation button, the automatic exposure and
// the exposure that makes room for highlight recovery.
#pragma once

#include <optional>
#include <string>

namespace dvk {

// Who asked for an apply: a control (with its title; every control of the
// window has one), the string "Settings" (a settings file), or nobody.
struct ApplySender {
    std::optional<std::string> title;
    bool isSettingsString = false;
    // Sent as with the Option key held: the road of a menu entry that stands
    // for an Alt-click the window manager may take.
    bool option = false;

    static ApplySender none() { return {}; }
    static ApplySender control(std::string t) { return {std::move(t), false}; }
    static ApplySender settings() { return {std::nullopt, true}; }
    static ApplySender optionClick(std::string t) { return {std::move(t), false, true}; }
};

inline constexpr const char* kResetToDefaultsTitle = "Reset to Defaults";
inline constexpr const char* kApplyTitle = "Apply";

struct ApplyPlan {
    bool redrawDiagram = false;    // only the diagram (nothing is loaded)
    bool selectFirstPreset = false;
    bool resetToDefaults = false;  // resetToDefaults: NO and the camera profile "Default"
    bool run = false;              // develop the preview again
};

// The plan of apply: for an image loaded (a file name and a working copy),
// an engine image present, the sender, the auto-apply switch and the Option
// key (held now, or as the sender says).
ApplyPlan planApply(bool imageLoaded, bool hasEngineImage, const ApplySender& sender, bool disableAutoApply,
                    bool optionHeld);

// The orientation code on show: the user's (rotation - 10) from 10 on, else
// the file's own.
int currentOrientation(int rotation, int fileFlip);
// The code after a quarter turn left or right (codes other than 0, 3, 5, 6
// stay).
int rotatedOrientation(int code, bool left);

// The exposure that puts the brightest raw channel at white (green alone,
// single precision; with Option the larger of red and green, double
// precision), or nothing when there is no such channel, no white level (with
// Option) or the change would be under 0.01 EV.
std::optional<double> autoExposure(const float chanMax[4], bool option, unsigned whiteLevel, double exposure);

// The exposure highlight recovery needs: with the spread of the three channel
// EVs s, an exposure above -s becomes -(s + 0.005) (single precision);
// nothing when it may stay.
std::optional<double> highlightRecoveryExposure(double exposure, double evRed, double evGreen, double evBlue);

}  // namespace dvk
