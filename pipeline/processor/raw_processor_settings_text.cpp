// RawProcessor: settings as text, settings files and the pasteboard.
#include <algorithm>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/settings_file.h"
#include "pipeline/settings/settings_text.h"
#include "pipeline/settings/undo_manager.h"
#include "platform/log.h"
#include "platform/pasteboard.h"

namespace dvk {

namespace {

// The custom profile as the snapshot holds it: absent when there is none.
std::string custom_profile_or_empty(const SettingsDictionary& snapshot) {
    const SettingsValue* v = snapshot.find("customRawProfile");
    return v ? v->description() : std::string();
}

}  // namespace

std::string RawProcessor::getSettingsAsTextWithFilter(const std::vector<std::string>* filter) const {
    SettingsDictionary d = undoSettings();
    d.set("useCameraWB", useCameraWB());
    if (custom_profile_or_empty(d).empty()) d.set("customRawProfile", "Default");
    for (const char* key : {"uplab", "rotation", "noise", "noiseEnabled"}) d.erase(key);
    if (filter)
        for (const auto& key : *filter) d.erase(key);
    return settings_text_from_dictionary(d);
}

std::string RawProcessor::getExportSettingsAsText() const {
    SettingsDictionary d = undoSettings();
    d.set("useCameraWB", useCameraWB());
    d.set("destinationFile", destinationFile());
    d.set("rotation", rotation());
    std::string profile = custom_profile_or_empty(d);
    d.set("customRawProfile", profile.empty() ? std::string("Default") : last_path_component(profile));
    for (const char* key : {"uplab", "noise", "noiseEnabled"}) d.erase(key);
    return settings_text_from_dictionary(d);
}

bool RawProcessor::exportSettingsToFile(const std::string& path, bool filterd) {
    if (!path.empty()) {
        const std::string file = settings_path_with_extension(path);
        const std::string text = getSettingsAsTextWithFilter(filterd ? &disabledSettings_ : nullptr);
        return write_file_atomically(file, text);
    }
    // The pasteboard copy is always filtered.
    return general_pasteboard()->setString(getSettingsAsTextWithFilter(&disabledSettings_));
}

bool RawProcessor::importSettingsFromFile(const std::string& path) {
    SettingsDictionary dict;
    if (!path.empty()) {
        std::optional<SettingsDictionary> read = read_settings_file(settings_path_with_extension(path));
        if (!read) return false;
        dict = std::move(*read);
    } else {
        std::shared_ptr<Pasteboard> board = general_pasteboard();
        if (!board->hasString()) return false;
        std::optional<SettingsDictionary> plist;
        if (std::optional<std::string> data = board->dataForString()) plist = getDictionarySettingsFromXMLData(*data);
        if (plist) {
            dict = std::move(*plist);
        } else {
            std::optional<std::string> text = board->string();
            if (!text) return false;
            dict = getDictionarySettingsFromString(*text);
        }
    }
    return importSettingsDictionary(dict);
}

bool RawProcessor::importSettingsDictionary(const SettingsDictionary& dict) {
    if (dict.empty()) return false;
    // All or nothing: every key and value is checked before any is applied.
    try {
        for (const auto& [key, value] : dict) checkValueForKey(key, value);
    } catch (const KeyValueError& e) {
        log_line("Looks like garbage %s", e.what());
        return false;
    }
    UndoGroup group(undoManager_.get());
    for (const auto& [key, value] : dict) setValueForKey(key, value);
    // The white-balance mode and the second-green rule again, now that all
    // channel exposures are in.
    setUseCameraWB(useCameraWB());
    setManualGreen2(manualGreen2());
    return true;
}

}  // namespace dvk
