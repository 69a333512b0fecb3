#include "app/batch/multiple_settings.h"

#include "app/history/history_defaults.h"
#include "pipeline/load/load_raw_file.h"
#include "pipeline/processor/custom_profile.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/settings_file.h"

namespace dvk {

namespace {

bool identify_into(RawProcessor& temp, const std::string& rawFile) {
    char camera[256] = "";
    if (identify_camera(rawFile.c_str(), camera) != 0) return false;
    temp.setFileName(rawFile);
    temp.setCamera(camera);
    temp.setDestinationFile("");
    return true;
}

}  // namespace

std::string settingsFileOfRawFile(const std::string& rawFile) {
    return rawFile + "." + kSettingsExtension;
}

SettingsFileOutcome exportSettingsForRawFile(RawProcessor& temp, const std::string& rawFile,
                                             const DefaultLookup& directoryDefault, const std::string& profileFolder) {
    if (!identify_into(temp, rawFile)) return SettingsFileOutcome::Skipped;
    if (std::optional<HistoryMO> d = directoryDefault(temp))
        temp.setSettings(d->keyValueSource());
    else
        temp.resetToDefaults(false);
    return write_file_atomically(settingsFileOfRawFile(rawFile), temp.getExportSettingsAsText(profileFolder))
               ? SettingsFileOutcome::Written
               : SettingsFileOutcome::Failed;
}

std::optional<HistoryMO> importedSettingsRecord(RawProcessor& temp, const std::string& rawFile,
                                                const std::string& supportFolder) {
    char camera[256] = "";
    if (identify_camera(rawFile.c_str(), camera) != 0) return std::nullopt;
    temp.resetToDefaults(false);
    temp.setFileName(rawFile);
    temp.setCamera(camera);
    temp.setDestinationFile("");
    // The settings file's destination is not taken (the import logs it).
    std::string outsideDestination;
    if (!temp.importSettingsFromFile(settingsFileOfRawFile(rawFile), &outsideDestination)) return std::nullopt;

    std::string comment = "Imported\n";
    const std::string profile = custom_profile_value(temp.customRawProfile(), supportFolder + "/Profiles");
    if (profile != temp.customRawProfile()) temp.setCustomRawProfile(profile);
    if (!outsideDestination.empty()) comment += "Original destination: " + outsideDestination + "\n";
    HistoryMO record = historyRecordFromSettings(temp, rawFile, temp.destinationFile(), comment);
    record.setValueForKey("reservedString1", std::to_string(temp.useCameraWB()));
    return record;
}

}  // namespace dvk
