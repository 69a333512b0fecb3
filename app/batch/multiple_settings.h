// Settings files next to many raw files at once: written from each file's
// default, or read back into the history as records of their own.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/history/history_record.h"

namespace dvk {

class RawProcessor;

// The settings file of a raw file: its full path with ".dvks" appended
// (/p/IMG_1.CR2 gives /p/IMG_1.CR2.dvks).
std::string settingsFileOfRawFile(const std::string& rawFile);

// The default a file finds (directoryDefault: of a processor).
using DefaultLookup = std::function<std::optional<HistoryMO>(RawProcessor&)>;

enum class SettingsFileOutcome { Skipped, Written, Failed };

// One file of a multiple export, on `temp` (a processor of the caller's):
// a file the raw decoder does not identify is skipped; otherwise the
// processor takes the file's name and camera and an empty destination, then
// the file's default (or the defaults when it has none), and the export
// settings text is written to the file's settings file (a custom profile in
// `profileFolder` by its name there, any other by its full path).
SettingsFileOutcome exportSettingsForRawFile(RawProcessor& temp, const std::string& rawFile,
                                             const DefaultLookup& directoryDefault, const std::string& profileFolder);

// One file of a multiple import: skipped (nullopt) when the decoder does not
// identify the file or its settings file cannot be read or imported.
// Otherwise the record to store: the processor's settings with the file as
// source, comment "Imported\n" (and "Original destination: <path>\n" for a
// destination the settings file names, which the record does not keep: a
// destination is never taken from a settings file), a custom profile
// "Default" as none, a bare profile file name as a file in <support>/Profiles
// and a path or a built-in name as it is (custom_profile_value), and
// reservedString1 the imported white-balance mode.
std::optional<HistoryMO> importedSettingsRecord(RawProcessor& temp, const std::string& rawFile,
                                                const std::string& supportFolder);

}  // namespace dvk
