// Shared helpers of the settings tests.
#pragma once

#include <ostream>
#include <string>

#include "pipeline/processor/raw_processor.h"

namespace dvk {
// Readable values in test failure messages.
inline void PrintTo(const SettingsValue& v, std::ostream* os) {
    static const char* const kinds[] = {"null", "bool", "int", "double", "string"};
    *os << kinds[static_cast<int>(v.kind())] << " " << v.description();
}
}  // namespace dvk

namespace dvk::test {

// Every key of the table whose value describes the development state
// (engine values such as progress left out).
inline SettingsDictionary all_settings(const RawProcessor& p) {
    SettingsDictionary d;
    for (const auto& key : RawProcessor::settingKeys()) {
        if (key == "progress" || key == "isNotInProgress" || key == "cameraInfo" || key == "greenDelta") continue;
        d.set(key, p.valueForKey(key));
    }
    return d;
}

// Names the first difference of two dictionaries, for failure messages.
inline std::string first_difference(const SettingsDictionary& a, const SettingsDictionary& b) {
    for (const auto& [k, v] : a) {
        const SettingsValue* w = b.find(k);
        if (!w) return k + " missing";
        if (!(*w == v)) return k + ": " + v.description() + " vs " + w->description();
    }
    for (const auto& [k, v] : b)
        if (!a.find(k)) return k + " extra";
    return "";
}

// Moves every development setting away from its default, through the
// setters, keeping the second-green rule (manualGreen2 0) intact. The
// white-balance mode is manual so the channel exposures stay.
inline void set_non_defaults(RawProcessor& p) {
    p.setUseCameraWB(0);
    p.setExposure(0.35);
    p.setEvRed(0.1 + 1.0 / 3.0);
    p.setEvBlue(-0.27);
    p.setManualGreen2(0);
    p.setEvGreen(0.0625);
    p.setEvWarmCold(-0.4);
    p.setHlCompression(1.25);
    p.setHlRange(3.5);
    p.setSaturation(12.5);
    p.setCurveType(0);
    p.setGamma(1.8);
    p.setUplab(0);
    p.setBlurAB(0);
    p.setBrightness(61.75);
    p.setContrast(-7.3);
    p.setLocalContrast(22.2);
    p.setHighRecoveryEV(-0.6);
    p.setLocalContrastEnabled(0);
    p.setBlackShift(0.011);
    p.setSaveFormat(7);
    p.setSharpnessEnabled(0);
    p.setSharpness(0.8);
    p.setNoise(3.3);
    p.setNoiseEnabled(0);
    p.setCleanDotNoise(1);
    p.setInterpolation(4);
    p.setHighRecoveryEnabled(1);
    p.setHighRecoveryGuessTone(1);
    p.setRotation(12);
    p.setDestinationFile("/out/folder/");
}

}  // namespace dvk::test
