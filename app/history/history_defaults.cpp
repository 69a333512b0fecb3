#include "app/history/history_defaults.h"

#include <cmath>

#include "app/history/text_match.h"
#include "platform/log.h"

namespace dvk {

namespace {

// The path without its last component (trailing slashes ignored), as a
// folder: "" for a path with no folder part.
std::string without_last_component(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (p == "/") return p;
    std::size_t slash = p.rfind('/');
    if (slash == std::string::npos) return std::string();
    if (slash == 0) return "/";
    return p.substr(0, slash);
}

SettingsValue comparable(const SettingsValue& v) {
    if (v.is_number()) return SettingsValue(v.double_value());
    return v;
}

const char* const kSharedKeys[] = {
    "blurAB",     "brightness",    "camera",   "contrast",   "curveType",     "customRawProfile",
    "destinationFile", "evBlue",   "evGreen",  "evGreen2",   "evRed",         "evWarmCold",
    "exposure",   "filterName",    "gamma",    "highRecoveryEV", "highRecoveryEnabled", "interpolation",
    "localContrast", "manualGreen2", "rotation", "saturation", "saveFormat",  "uplab",
};

}  // namespace

std::vector<std::string> folderChain(const std::string& path) {
    std::vector<std::string> chain;
    std::string p = path;
    while (!p.empty()) {
        chain.push_back(p);
        if (p == "/") break;
        p = without_last_component(p) + "/";
        if (p == "//") p = "/";
    }
    return chain;
}

std::string enclosingFolderWithSlash(const std::string& path) {
    std::string folder = without_last_component(path);
    if (folder.empty() || folder == "/") return "/";
    return folder + "/";
}

std::optional<HistoryMO> chooseDirectoryDefault(const std::vector<HistoryMO>& records,
                                                const std::vector<std::string>& chain, const std::string& camera) {
    for (const std::string& element : chain)
        for (const HistoryMO& r : records)
            if (r.sourceFile() == element && likeText(r.camera(), camera, kFoldCase)) return r;
    return std::nullopt;
}

std::optional<HistoryMO> findDirectoryDefault(HistoryStore& store, const std::string& camera,
                                              const std::string& fileName, std::string* readError) {
    std::vector<std::string> chain = folderChain(fileName);
    std::string error;
    std::vector<HistoryMO> records = store.fetchWithSourceIn(chain, &error);
    if (!error.empty()) log_line("%s %s", "Controller::directoryDefault", error.c_str());
    if (readError) *readError = error;
    return chooseDirectoryDefault(records, chain, camera);
}

int hlRangeThousandths(double hlRange) { return static_cast<int>(std::lround(hlRange * 1000.0)); }

HistoryMO historyRecordFromSettings(const RawProcessor& r, const std::string& source, const std::string& destination,
                                    const std::optional<std::string>& comment) {
    HistoryMO h;
    h.setValueForKey("sourceFile", source);
    h.setValueForKey("destinationFile", destination);
    h.setValueForKey("camera", r.camera());
    h.setValueForKey("evRed", r.evRed());
    h.setValueForKey("evGreen", r.evGreen());
    h.setValueForKey("evBlue", r.evBlue());
    h.setValueForKey("evGreen2", r.evGreen2());
    h.setValueForKey("evWarmCold", r.evWarmCold());
    h.setValueForKey("manualGreen2", r.manualGreen2() != 0);
    h.setValueForKey("uplab", r.uplab() != 0);
    h.setValueForKey("blurAB", r.blurAB() != 0);
    h.setValueForKey("copyTags", r.cleanDotNoise() != 0);
    h.setValueForKey("exposure", r.exposure());
    h.setValueForKey("brightness", r.brightness());
    h.setValueForKey("contrast", r.contrast());
    h.setValueForKey("localContrast", r.localContrast());
    h.setValueForKey("reservedDouble1", r.blackShift());
    h.setValueForKey("reservedDouble2", r.sharpness());
    h.setValueForKey("reservedDouble3", r.hlCompression());
    // Rounded, not truncated: 2.03 (2.02999...) must come back as 2.03.
    h.setValueForKey("reservedInt2", hlRangeThousandths(r.hlRange()));
    h.setValueForKey("saturation", r.saturation());
    h.setValueForKey("curveType", r.curveType());
    h.setValueForKey("gamma", r.gamma());
    h.setValueForKey("interpolation", r.interpolation());
    h.setValueForKey("highRecoveryEnabled", r.highRecoveryEnabled() != 0);
    h.setValueForKey("reservedInt1", r.highRecoveryGuessTone() != 0);
    h.setValueForKey("highRecoveryEV", r.highRecoveryEV());
    h.setValueForKey("saveFormat", r.saveFormat());
    h.setValueForKey("rotation", r.rotation());
    h.setValueForKey("filterName", r.valueForKey("filterName"));
    h.setValueForKey("customRawProfile", r.valueForKey("customRawProfile"));
    h.setValueForKey("creationDate", historyNow());
    h.setValueForKey("reservedString1", "0");
    if (comment && !comment->empty()) h.setValueForKey("comment", *comment);
    return h;
}

SettingsDictionary defaultComparisonOfSettings(const RawProcessor& r) {
    SettingsDictionary d;
    for (const char* key : kSharedKeys) d.set(key, comparable(r.valueForKey(key)));
    d.set("blackShift", comparable(r.blackShift()));
    d.set("sharpness", comparable(r.sharpness()));
    d.set("hlCompression", comparable(r.hlCompression()));
    d.set("hlRange", comparable(hlRangeThousandths(r.hlRange())));
    d.set("highRecoveryGuessTone", comparable(r.highRecoveryGuessTone()));
    d.set("cleanDotNoise", comparable(r.cleanDotNoise()));
    return d;
}

SettingsDictionary defaultComparisonOfRecord(const HistoryMO& h) {
    SettingsDictionary d;
    for (const char* key : kSharedKeys) d.set(key, comparable(h.valueForKey(key)));
    d.set("blackShift", comparable(h.valueForKey("reservedDouble1")));
    d.set("sharpness", comparable(h.valueForKey("reservedDouble2")));
    d.set("hlCompression", comparable(h.valueForKey("reservedDouble3")));
    d.set("hlRange", comparable(SettingsValue(h.valueForKey("reservedInt2").int_value())));
    d.set("highRecoveryGuessTone", comparable(h.valueForKey("reservedInt1")));
    d.set("cleanDotNoise", comparable(h.valueForKey("copyTags")));
    return d;
}

bool settingsEqualRecord(const RawProcessor& r, const HistoryMO& record) {
    return defaultComparisonOfSettings(r).same_contents(defaultComparisonOfRecord(record));
}

bool recordSettingsEqual(const HistoryMO& settings, const HistoryMO& record) {
    return defaultComparisonOfRecord(settings).same_contents(defaultComparisonOfRecord(record));
}

HistoryMO folderDefaultFrom(const HistoryMO& s, int useCameraWB, bool controlHeld, double now) {
    HistoryMO t = s;
    if (!s.isFolderDefault()) {
        t.setObjectID(0);
        t.setValueForKey("creationDate", now);
    }
    t.setValueForKey("sourceFile", enclosingFolderWithSlash(s.sourceFile()));
    std::string destination = s.destinationFile();
    if (!destination.empty() && destination.back() != '/')
        t.setValueForKey("destinationFile", enclosingFolderWithSlash(destination));
    t.setValueForKey("rotation", 0);
    if (!controlHeld) {
        if (useCameraWB == 1) t.setValueForKey("reservedString1", "1");
        if (useCameraWB == 2) t.setValueForKey("reservedString1", "2");
    }
    return t;
}

HistoryMO globalCameraDefaultFrom(const HistoryMO& s, int useCameraWB) {
    HistoryMO t = s;
    t.setValueForKey("sourceFile", "/");
    t.setValueForKey("destinationFile", "");
    t.setValueForKey("rotation", 0);
    t.setValueForKey("reservedString1", useCameraWB == 1 ? "1" : "2");
    return t;
}

HistoryMO propagationTemplate(const HistoryMO& selected, std::string* destinationShown) {
    HistoryMO t = selected;
    t.setObjectID(0);
    std::string destination = selected.destinationFile();
    if (!destination.empty() && destination.back() != '/') {
        destination = enclosingFolderWithSlash(destination);
        t.setValueForKey("destinationFile", destination);
    }
    if (destinationShown) *destinationShown = destination;
    return t;
}

std::string propagationConfirmationText(std::size_t count, const std::string& destinationShown) {
    return "You are about to propogate selected settings for " + std::to_string(count) +
           " files with destinations set to\n\"" + (destinationShown.empty() ? "Default" : destinationShown) + "\".";
}

HistoryMO propagatedRecord(const HistoryMO& templateRecord, const std::string& file, const std::string& camera,
                           double now) {
    HistoryMO r = templateRecord;
    r.setObjectID(0);
    r.setValueForKey("creationDate", now);
    r.setValueForKey("sourceFile", file);
    r.setValueForKey("camera", camera);
    return r;
}

HistoryCellStyle historyCellStyle(bool sourceColumn, const std::string& value, const std::string& openFileName,
                                  const std::function<bool(const std::string&)>& exists,
                                  const std::function<bool(const std::string&)>& hasCandidates) {
    HistoryCellStyle style = HistoryCellStyle::Plain;
    if (!value.empty() && value == openFileName)
        style = HistoryCellStyle::OpenFile;
    else if (!value.empty() && value.back() == '/')
        style = HistoryCellStyle::FolderDefault;
    if (sourceColumn && exists && !exists(value))
        style = hasCandidates && hasCandidates(value) ? HistoryCellStyle::MissingFound : HistoryCellStyle::Missing;
    return style;
}

}  // namespace dvk
