// RawProcessor: settings as text, settings files and the pasteboard.
#include <algorithm>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/settings_file.h"
#include "pipeline/settings/settings_text.h"
#include "pipeline/settings/undo_manager.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/pasteboard.h"
#include "platform/plist_read.h"
#include "platform/regular_file.h"

namespace dvk {

namespace {

// The custom profile as the snapshot holds it: absent when there is none.
std::string custom_profile_or_empty(const SettingsDictionary& snapshot) {
    const SettingsValue* v = snapshot.find("customRawProfile");
    return v ? v->description() : std::string();
}

// A profile inside the profile folder by its path relative to the folder
// (the name the Profiles menu and an import take it by); any other by its
// full path, so that the settings still name it where they are read again.
std::string exported_profile_name(const std::string& profile, std::string folder) {
    if (folder.back() != '/') folder += '/';
    if (profile.size() > folder.size() && profile.compare(0, folder.size(), folder) == 0)
        return profile.substr(folder.size());
    return profile;
}

// The keys that belong to the open file itself (its name, camera and
// destination), "settings." prefixes skipped; "" for any other key.
std::string_view file_own_key(std::string_view key) {
    constexpr std::string_view prefix = "settings.";
    while (key.substr(0, prefix.size()) == prefix) key.remove_prefix(prefix.size());
    for (std::string_view own : {"destinationFile", "fileName", "camera"})
        if (key == own) return own;
    return {};
}

}  // namespace

std::string RawProcessor::getSettingsAsTextWithFilter(const std::vector<std::string>* filter) const {
    SettingsDictionary d = undoSettings();
    d.set("useCameraWB", useCameraWB());
    if (custom_profile_or_empty(d).empty()) d.set("customRawProfile", kDefaultProfileTitle);
    for (const char* key : {"uplab", "rotation", "noise", "noiseEnabled"}) d.erase(key);
    if (filter)
        for (const auto& key : *filter) d.erase(key);
    return settings_text_from_dictionary(d);
}

std::string RawProcessor::getExportSettingsAsText(const std::string& profileFolder) const {
    SettingsDictionary d = undoSettings();
    d.set("useCameraWB", useCameraWB());
    d.set("destinationFile", destinationFile());
    d.set("rotation", rotation());
    const std::string profile = custom_profile_or_empty(d);
    d.set("customRawProfile", profile.empty() ? std::string(kDefaultProfileTitle)
                                              : exported_profile_name(profile, profileFolder.empty()
                                                                                   ? applicationSupportFolder() + "/Profiles"
                                                                                   : profileFolder));
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

bool RawProcessor::importSettingsFromFile(const std::string& path, std::string* outsideDestination,
                                          std::string* refusal) {
    std::optional<SettingsDictionary> dict;
    std::string error;
    if (refusal) refusal->clear();
    const std::string file = path.empty() ? std::string() : settings_path_with_extension(path);
    if (!file.empty()) {
        dict = read_settings_file(file, &error);
    } else {
        std::shared_ptr<Pasteboard> board = general_pasteboard();
        if (!board->hasString()) return false;
        const std::optional<std::string> data = board->dataForString();
        if (data && data->size() > kSettingsFileMaxBytes) {
            error = "the clipboard holds too much text (" + std::to_string(data->size()) + " bytes)";
        } else if (data && plist_nesting_problem(*data)) {
            error = "the clipboard's property list is " + *plist_nesting_problem(*data);
        } else {
            if (data) dict = getDictionarySettingsFromXMLData(*data);
            if (!dict) {
                std::optional<std::string> text = board->string();
                if (!text) return false;
                if (text->size() > kSettingsFileMaxBytes) return false;
                dict = getDictionarySettingsFromString(*text);
            }
        }
    }
    const std::string source = file.empty() ? std::string("the clipboard") : file;
    if (!dict) {
        if (!error.empty()) log_line("Settings not imported: %s", error.c_str());
        if (refusal) *refusal = error.empty() ? source + " holds no settings" : error;
        return false;
    }
    if (dict->empty()) {
        if (refusal) *refusal = source + " holds no settings";
        return false;
    }
    const bool imported = importSettingsDictionary(*dict, outsideDestination, refusal);
    if (!imported && refusal) *refusal = source + ": " + *refusal;
    return imported;
}

bool RawProcessor::importSettingsDictionary(const SettingsDictionary& dict, std::string* outsideDestination,
                                            std::string* refusal) {
    if (outsideDestination) outsideDestination->clear();
    if (refusal) refusal->clear();
    if (dict.empty()) return false;
    // All or nothing: every key and value is checked before any is applied.
    try {
        for (const auto& [key, value] : dict) checkValueForKey(key, value);
    } catch (const KeyValueError& e) {
        log_line("Looks like garbage %s", e.what());
        if (refusal) *refusal = e.what();
        return false;
    }
    // Which file this is and where its output goes are not for settings
    // from elsewhere to say.
    for (const auto& [key, value] : dict) {
        const std::string_view own = file_own_key(key);
        if (own.empty() || value.description().empty()) continue;
        log_line("Settings from outside: %s \"%s\" not taken", std::string(own).c_str(), value.description().c_str());
        if (own == "destinationFile" && outsideDestination) *outsideDestination = value.description();
    }
    UndoGroup group(undoManager_.get());
    for (const auto& [key, value] : dict)
        if (file_own_key(key).empty()) setValueForKey(key, value);
    // The white-balance mode and the second-green rule again, now that all
    // channel exposures are in.
    setUseCameraWB(useCameraWB());
    setManualGreen2(manualGreen2());
    return true;
}

}  // namespace dvk
