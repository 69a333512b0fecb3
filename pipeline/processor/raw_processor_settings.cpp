// RawProcessor: the table of settings with key-value access, the undo
// registration and observation of announced changes, the snapshot of
// undoSettings, the history record's settings dictionary and the defaults.
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/undo_manager.h"

namespace dvk {

namespace {

// The custom profile: "" stands for none.
std::optional<std::string> custom_profile_of(const RawProcessor& p) {
    const std::string& s = p.customRawProfile();
    return s.empty() ? std::nullopt : std::optional<std::string>(s);
}

// "Default", as the settings text writes no custom profile, stands for none
// (the camera's own profile), as it does in the Profiles menu.
void set_custom_profile(RawProcessor& p, const std::optional<std::string>& value) {
    const std::string v = value.value_or(std::string());
    p.setCustomRawProfile(v == kDefaultProfileTitle ? std::string() : v);
}

std::optional<std::string> optional_string(const SettingsValue& v) {
    if (v.is_null()) return std::nullopt;
    return v.description();
}

// --- the table ------------------------------------------------------------

enum class SettingType { Double, Float, Int, Bool, String };

struct SettingProperty {
    const char* key;
    SettingType type;
    SettingsValue (*get)(const RawProcessor&);
    void (*set)(RawProcessor&, const SettingsValue&);  // null: read-only
    const char* undoName;                               // null: no undo step
};

#define DVK_DOUBLE(KEY, GET, SET, UNDO)                                                   \
    SettingProperty {                                                                    \
        KEY, SettingType::Double, [](const RawProcessor& p) { return SettingsValue(p.GET()); }, \
            [](RawProcessor& p, const SettingsValue& v) { p.SET(v.double_value()); }, UNDO \
    }
#define DVK_FLOAT(KEY, GET, SET)                                                                          \
    SettingProperty {                                                                                    \
        KEY, SettingType::Float, [](const RawProcessor& p) { return SettingsValue(p.GET()); },           \
            [](RawProcessor& p, const SettingsValue& v) { p.SET(static_cast<float>(v.double_value())); }, \
            nullptr                                                                                       \
    }
#define DVK_INT(KEY, GET, SET, UNDO)                                                   \
    SettingProperty {                                                                 \
        KEY, SettingType::Int, [](const RawProcessor& p) { return SettingsValue(p.GET()); }, \
            [](RawProcessor& p, const SettingsValue& v) { p.SET(v.int_value()); }, UNDO \
    }
#define DVK_BOOL(KEY, GET, SET)                                                             \
    SettingProperty {                                                                       \
        KEY, SettingType::Bool, [](const RawProcessor& p) { return SettingsValue(p.GET()); }, \
            [](RawProcessor& p, const SettingsValue& v) { p.SET(v.bool_value()); }, nullptr   \
    }
#define DVK_STRING(KEY, GET, SET)                                                             \
    SettingProperty {                                                                         \
        KEY, SettingType::String, [](const RawProcessor& p) { return SettingsValue(p.GET()); }, \
            [](RawProcessor& p, const SettingsValue& v) { p.SET(v.description()); }, nullptr    \
    }

const SettingProperty kSettings[] = {
    DVK_DOUBLE("exposure", exposure, setExposure, "Exposure"),
    DVK_DOUBLE("evRed", evRed, setEvRed, "Red EV"),
    DVK_DOUBLE("evGreen", evGreen, setEvGreen, "Green EV"),
    DVK_DOUBLE("evBlue", evBlue, setEvBlue, "Blue EV"),
    DVK_DOUBLE("evGreen2", evGreen2, setEvGreen2, "Green2 EV"),
    DVK_DOUBLE("evWarmCold", evWarmCold, setEvWarmCold, "Cold - Warm"),
    DVK_INT("useCameraWB", useCameraWB, setUseCameraWB, nullptr),
    SettingProperty{"customRawProfile", SettingType::String,
                    [](const RawProcessor& p) { return SettingsValue::from_optional(custom_profile_of(p)); },
                    [](RawProcessor& p, const SettingsValue& v) { set_custom_profile(p, optional_string(v)); },
                    nullptr},
    DVK_INT("manualGreen2", manualGreen2, setManualGreen2, "Manual Green2 Mode switch"),
    DVK_DOUBLE("hlCompression", hlCompression, setHlCompression, "Exposure with Compression"),
    DVK_DOUBLE("hlRange", hlRange, setHlRange, "Compression Range"),
    DVK_DOUBLE("saturation", saturation, setSaturation, "Saturation"),
    DVK_INT("curveType", curveType, setCurveType, "Tone curve switch"),
    DVK_DOUBLE("gamma", gamma, setGamma, "Gamma"),
    DVK_INT("uplab", uplab, setUplab, "Uplab/Lab switch"),
    DVK_INT("blurAB", blurAB, setBlurAB, "Blur a/b switch"),
    DVK_DOUBLE("brightness", brightness, setBrightness, "Brightness"),
    DVK_DOUBLE("contrast", contrast, setContrast, "Contrast"),
    DVK_DOUBLE("localContrast", localContrast, setLocalContrast, "Local Contrast"),
    DVK_DOUBLE("highRecoveryEV", highRecoveryEV, setHighRecoveryEV, "Highlights Recovery Adj."),
    DVK_INT("bwMode", bwMode, setBwMode, "Monochrome Mode change"),
    DVK_INT("localContrastEnabled", localContrastEnabled, setLocalContrastEnabled, nullptr),
    DVK_DOUBLE("blackShift", blackShift, setBlackShift, "Black Point"),
    DVK_INT("saveFormat", saveFormat, setSaveFormat, nullptr),
    DVK_INT("sharpnessEnabled", sharpnessEnabled, setSharpnessEnabled, nullptr),
    DVK_DOUBLE("sharpness", sharpness, setSharpness, "Sharpness"),
    DVK_DOUBLE("noise", noise, setNoise, "Noise"),
    DVK_INT("noiseEnabled", noiseEnabled, setNoiseEnabled, nullptr),
    DVK_INT("cleanDotNoise", cleanDotNoise, setCleanDotNoise, "Remove dot-noise"),
    DVK_INT("interpolation", interpolation, setInterpolation, "Interpolation type switch"),
    DVK_INT("highRecoveryEnabled", highRecoveryEnabled, setHighRecoveryEnabled, "Highlights Recovery switch"),
    DVK_INT("highRecoveryGuessTone", highRecoveryGuessTone, setHighRecoveryGuessTone,
            "Highlights Recovery Guess Tone switch"),
    DVK_DOUBLE("valueZ", valueZ, setValueZ, nullptr),
    DVK_INT("rotation", rotation, setRotation, nullptr),
    DVK_INT("raw", raw, setRaw, nullptr),
    DVK_INT("labOptimize", labOptimize, setLabOptimize, nullptr),
    DVK_INT("comprQuality", comprQuality, setComprQuality, nullptr),
    DVK_FLOAT("tiffXResolution", tiffXResolution, setTiffXResolution),
    DVK_FLOAT("tiffYResolution", tiffYResolution, setTiffYResolution),
    DVK_INT("dontOverwriteOnSave", dontOverwriteOnSave, setDontOverwriteOnSave, nullptr),
    // Names and files.
    DVK_STRING("filterName", filterName, setFilterName),
    DVK_STRING("destinationFile", destinationFile, setDestinationFile),
    DVK_STRING("fileName", fileName, setFileName),
    DVK_STRING("camera", camera, setCamera),
    SettingProperty{"cameraInfo", SettingType::String,
                    [](const RawProcessor& p) { return SettingsValue(p.cameraInfo()); }, nullptr, nullptr},
    // Derived switches: their setters do nothing, so bindings may write them.
    DVK_BOOL("isCurveTypeS", isCurveTypeS, setIsCurveTypeS),
    DVK_BOOL("isCurveTypeGamma", isCurveTypeGamma, setIsCurveTypeGamma),
    // Engine values the window shows.
    DVK_DOUBLE("progress", progress, setProgress, nullptr),
    DVK_BOOL("isNotInProgress", isNotInProgress, setIsNotInProgress),
    SettingProperty{"greenDelta", SettingType::Double,
                    [](const RawProcessor& p) { return SettingsValue(p.greenDelta()); }, nullptr, nullptr},
    DVK_FLOAT("sharpnessRadius", sharpnessRadius, setSharpnessRadius),
    DVK_DOUBLE("decompressionBlackPoint", decompressionBlackPoint, setDecompressionBlackPoint, nullptr),
    DVK_DOUBLE("decompressionWhitePoint", decompressionWhitePoint, setDecompressionWhitePoint, nullptr),
};

#undef DVK_DOUBLE
#undef DVK_FLOAT
#undef DVK_INT
#undef DVK_BOOL
#undef DVK_STRING

std::string_view strip_settings_prefix(std::string_view key) {
    constexpr std::string_view prefix = "settings.";
    while (key.substr(0, prefix.size()) == prefix) key.remove_prefix(prefix.size());
    return key;
}

const SettingProperty* find_setting(std::string_view key) {
    for (const auto& p : kSettings)
        if (key == p.key) return &p;
    return nullptr;
}

[[noreturn]] void throw_undefined_key(std::string_view key) {
    throw KeyValueError(std::string(key), "there is no setting " + std::string(key));
}

}  // namespace

// --- key-value access -------------------------------------------------------

const std::vector<std::string>& RawProcessor::settingKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> k;
        for (const auto& p : kSettings) k.emplace_back(p.key);
        return k;
    }();
    return keys;
}

std::string RawProcessor::undoActionNameForKey(std::string_view key) {
    const SettingProperty* p = find_setting(strip_settings_prefix(key));
    return p && p->undoName ? p->undoName : "";
}

SettingsValue RawProcessor::valueForKey(std::string_view key) const {
    std::string_view k = strip_settings_prefix(key);
    const SettingProperty* p = find_setting(k);
    if (!p) throw_undefined_key(k);
    return p->get(*this);
}

namespace {

// The value a number setting takes from `value`: a number as it is, a
// string by its whole text (so "12abc" and "abc" are refused, not read as
// 12 and 0), null as null. Throws KeyValueError for a text that is no
// number and for a number that is not finite (or too large for a float).
SettingsValue number_for_setting(const SettingProperty& p, std::string_view key, const SettingsValue& value) {
    if (value.is_null()) return value;
    double d = value.double_value();
    if (const std::string* text = value.string_ptr()) {
        const std::optional<double> parsed = parse_number_text(*text);
        if (!parsed)
            throw KeyValueError(std::string(key),
                                "the setting " + std::string(key) + " takes a number, not \"" + *text + "\"");
        d = *parsed;
    }
    const bool too_big_for_float =
        p.type == SettingType::Float && std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max();
    if (!std::isfinite(d) || too_big_for_float)
        throw KeyValueError(std::string(key), "the value " + value.description() + " for the key " + std::string(key) +
                                                  " is not a finite number.");
    return value.string_ptr() ? SettingsValue(d) : value;
}

}  // namespace

void RawProcessor::checkValueForKey(std::string_view key, const SettingsValue& value) const {
    std::string_view k = strip_settings_prefix(key);
    const SettingProperty* p = find_setting(k);
    if (!p || !p->set) throw_undefined_key(k);
    if (p->type != SettingType::String) number_for_setting(*p, k, value);
}

void RawProcessor::setValueForKey(std::string_view key, const SettingsValue& value) {
    std::string_view k = strip_settings_prefix(key);
    const SettingProperty* p = find_setting(k);
    if (!p || !p->set) throw_undefined_key(k);
    if (p->type == SettingType::String) {
        p->set(*this, value);
        return;
    }
    const SettingsValue number = number_for_setting(*p, k, value);
    // Nil into a number does nothing.
    if (number.is_null()) return;
    p->set(*this, number);
}

KeyValueObservers::Token RawProcessor::addObserver(std::string key, KeyValueObservers::Callback callback) {
    return settingsLayer_.observers.add(std::string(strip_settings_prefix(key)), std::move(callback));
}

void RawProcessor::removeObserver(KeyValueObservers::Token token) { settingsLayer_.observers.remove(token); }

// --- announcements: undo and observation -------------------------------------

void RawProcessor::settingsWillChange(const char* key) {
    SettingsLayerState& s = settingsLayer_;
    s.owner = this;
    // The outermost change opens one undo group, so a setter and every
    // setter it calls undo in one step.
    if (s.changeDepth++ == 0) {
        s.named = false;
        s.outerKey = key;
        s.groupManager = undoManager_;
        if (s.groupManager) s.groupManager->beginUndoGrouping();
    }
    UndoManager* um = undoManager_.get();
    if (!um || !um->isUndoRegistrationEnabled()) return;
    const SettingProperty* p = find_setting(key);
    if (!p || !p->undoName) return;
    if (!s.named) {
        // The step is named after the change the user made, not after the
        // settings that change with it.
        um->setActionName(p->undoName);
        // Changes of the first green or of the second-green mode move the
        // second green by the rule, also while they are undone; the step
        // therefore ends (its actions run last to first) by putting the
        // second green back to where it was, so undo and redo are exact.
        if (s.outerKey == "evGreen" || s.outerKey == "manualGreen2" || s.outerKey == "useCameraWB")
            um->registerUndo([this, g2 = evGreen2()] { setEvGreen2(g2); }, this);
    }
    s.named = true;
    if (std::string_view(key) == "bwMode") {
        // The filter comes back by name.
        um->registerUndo([this, name = filterName()] { setFilterName(name); }, this);
    } else {
        um->registerUndo([this, set = p->set, old = p->get(*this)] { set(*this, old); }, this);
    }
    const bool known = std::any_of(s.registeredWith.begin(), s.registeredWith.end(),
                                   [um](const std::weak_ptr<UndoManager>& w) { return w.lock().get() == um; });
    if (!known) {
        std::erase_if(s.registeredWith, [](const std::weak_ptr<UndoManager>& w) { return w.expired(); });
        s.registeredWith.push_back(undoManager_);
    }
}

void RawProcessor::settingsDidChange(const char* key) {
    SettingsLayerState& s = settingsLayer_;
    std::string_view k = key;
    s.observers.notify(k);
    if (k == "curveType") {
        s.observers.notify("isCurveTypeS");
        s.observers.notify("isCurveTypeGamma");
    } else if (k == "bwMode") {
        s.observers.notify("filterName");
    }
    if (s.changeDepth > 0 && --s.changeDepth == 0) {
        std::shared_ptr<UndoManager> gm = std::move(s.groupManager);
        s.groupManager.reset();
        if (gm) gm->endUndoGrouping();
    }
}

SettingsLayerState::~SettingsLayerState() {
    for (const auto& w : registeredWith)
        if (auto um = w.lock()) um->removeAllActionsWithTarget(owner);
}

// --- snapshot ----------------------------------------------------------------

SettingsDictionary RawProcessor::undoSettings() const {
    SettingsDictionary d;
    d.set("evRed", evRed());
    d.set("evGreen", evGreen());
    d.set("evBlue", evBlue());
    d.set("evGreen2", evGreen2());
    d.set("evWarmCold", evWarmCold());
    d.set("exposure", exposure());
    d.set("hlCompression", hlCompression());
    d.set("hlRange", hlRange());
    d.set("brightness", brightness());
    d.set("contrast", contrast());
    d.set("localContrast", localContrast());
    d.set("blackShift", blackShift());
    d.set("sharpness", sharpness());
    d.set("noise", noise());
    d.set("saturation", saturation());
    d.set("gamma", gamma());
    d.set("highRecoveryEV", highRecoveryEV());
    d.set("manualGreen2", manualGreen2() != 0);
    d.set("uplab", uplab() != 0);
    d.set("blurAB", blurAB() != 0);
    d.set("cleanDotNoise", cleanDotNoise() != 0);
    d.set("highRecoveryEnabled", highRecoveryEnabled() != 0);
    d.set("highRecoveryGuessTone", highRecoveryGuessTone() != 0);
    d.set("sharpnessEnabled", sharpnessEnabled() != 0);
    d.set("localContrastEnabled", localContrastEnabled() != 0);
    d.set("noiseEnabled", noiseEnabled() != 0);
    d.set("curveType", curveType());
    d.set("interpolation", interpolation());
    d.set("saveFormat", saveFormat());
    d.set("filterName", filterName());
    if (auto profile = custom_profile_of(*this)) d.set("customRawProfile", *profile);
    return d;
}

void RawProcessor::setUndoSettings(const SettingsDictionary& s) {
    UndoGroup group(undoManager_.get());
    setBlurAB(s.get("blurAB").bool_value());
    setCleanDotNoise(s.get("cleanDotNoise").bool_value());
    setBrightness(s.get("brightness").double_value());
    setContrast(s.get("contrast").double_value());
    setCurveType(s.get("curveType").int_value());
    setEvBlue(s.get("evBlue").double_value());
    setFilterName(s.get("filterName").description());
    setManualGreen2(s.get("manualGreen2").bool_value());
    setEvGreen2(s.get("evGreen2").double_value());
    setEvGreen(s.get("evGreen").double_value());
    setEvRed(s.get("evRed").double_value());
    setEvWarmCold(s.get("evWarmCold").double_value());
    setExposure(s.get("exposure").double_value());
    setGamma(s.get("gamma").double_value());
    setHighRecoveryEV(s.get("highRecoveryEV").double_value());
    setHighRecoveryEnabled(s.get("highRecoveryEnabled").bool_value());
    setHighRecoveryGuessTone(s.get("highRecoveryGuessTone").bool_value());
    setInterpolation(s.get("interpolation").int_value());
    setLocalContrast(s.get("localContrast").double_value());
    setBlackShift(s.get("blackShift").double_value());
    setSharpness(s.get("sharpness").double_value());
    setHlCompression(s.get("hlCompression").double_value());
    setHlRange(s.get("hlRange").double_value());
    setSaturation(s.get("saturation").double_value());
    setNoise(s.get("noise").double_value());
    setSaveFormat(s.get("saveFormat").int_value());
    setUplab(s.get("uplab").bool_value());
    setSharpnessEnabled(s.get("sharpnessEnabled").bool_value());
    setNoiseEnabled(s.get("noiseEnabled").bool_value());
    setLocalContrastEnabled(s.get("localContrastEnabled").bool_value());
}

// --- the history record's settings dictionary ----------------------------------

void RawProcessor::setSettings(const SettingsDictionary& record) {
    setSettings(KeyValueSource([&record](std::string_view key) { return record.get(key); }));
}

void RawProcessor::setSettings(const KeyValueSource& r) {
    UndoGroup group(undoManager_.get());
    setBlurAB(r("blurAB").bool_value());
    setBrightness(r("brightness").double_value());
    setContrast(r("contrast").double_value());
    setCurveType(r("curveType").int_value());
    set_custom_profile(*this, optional_string(r("customRawProfile")));
    setDestinationFile(r("destinationFile").description());
    setManualGreen2(r("manualGreen2").bool_value());
    setEvBlue(r("evBlue").double_value());
    setEvGreen2(r("evGreen2").double_value());
    setEvGreen(r("evGreen").double_value());
    setEvRed(r("evRed").double_value());
    setEvWarmCold(r("evWarmCold").double_value());
    setExposure(r("exposure").double_value());
    setFilterName(r("filterName").description());
    setGamma(r("gamma").double_value());
    setHighRecoveryEV(r("highRecoveryEV").double_value());
    setHighRecoveryEnabled(r("highRecoveryEnabled").bool_value());
    setHighRecoveryGuessTone(r("reservedInt1").bool_value());
    setInterpolation(r("interpolation").int_value());
    setLocalContrast(r("localContrast").double_value());
    setBlackShift(r("reservedDouble1").double_value());
    setSharpness(r("reservedDouble2").double_value());
    setHlCompression(r("reservedDouble3").double_value());
    setHlRange(r("reservedInt2").int_value() / 1000.0);
    setRotation(r("rotation").int_value());
    setSaturation(r("saturation").double_value());
    setSaveFormat(r("saveFormat").int_value());
    setUplab(r("uplab").bool_value());
    setNoise(r("noiseFilter").double_value());
    setCleanDotNoise(r("copyTags").bool_value());
    setUseCameraWB(r("reservedString1").int_value());
    if (hlRange() == 0) setHlRange(2.0);
}

// --- defaults ------------------------------------------------------------------

void RawProcessor::resetToDefaults(bool keepWhiteBalance) {
    UndoGroup group(undoManager_.get());
    if (!keepWhiteBalance) {
        setExposure(0);
        setEvRed(0);
        setEvGreen(0);
        setEvBlue(0);
        setEvGreen2(0);
        setUseCameraWB(1);
        set_custom_profile(*this, std::nullopt);
    }
    setHlCompression(0);
    setHlRange(2.0);
    setSaturation(0);
    setCurveType(1);
    setGamma(2.2);
    setUplab(1);
    setBlurAB(1);
    setBrightness(50);
    setContrast(0);
    setLocalContrast(0);
    setHighRecoveryEV(0);
    setEvWarmCold(0);
    setBwMode(0);
    setManualGreen2(0);
    setLocalContrastEnabled(1);
    setBlackShift(0);
    setSaveFormat(saveFormat());
    setSharpnessEnabled(1);
    setSharpness(0);
    setNoise(0);
    setNoiseEnabled(1);
    setCleanDotNoise(0);
}

}  // namespace dvk
