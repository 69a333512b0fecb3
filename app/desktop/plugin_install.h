// The Lightroom export plug-in "Open in DVK": installing it and its export
// preset into the host application's folders, and the one host preference
// that changes what the user is told afterwards.
//
// The plug-in's three compiled chunks come from the resources folder
// ("DVK_LR2.lrplugin", built from resources/lightroom). They are written into
// a fresh folder beside the plug-in folder, which then takes the old one's
// place in one step, so a failed installation leaves the earlier one whole.
#pragma once

#include <functional>
#include <string>

#include "app/common/alert_function.h"

namespace dvk {

// The plug-in's toolkit identifier, which the export preset names.
inline constexpr const char* kLightroomToolkitIdentifier = "org.dvk.lightroom.open";
// The names of the compiled chunks, in the order they are written.
inline constexpr const char* kLightroomPluginChunks[] = {"Info.lua", "DVKOpenServiceProvider.lua", "DVKOpenTask.lua"};

struct PluginInstallPaths {
    std::string supportFolder;       // the user's data folder (userApplicationSupportFolder()); empty: none
    std::string chunkFolder;         // the compiled chunks (resource_file("DVK_LR2.lrplugin"))
    std::string hostPreferenceFile;  // lightroomPreferenceFile()
};

// Writes `bytes` to `path` under a temporary name and renames it into place.
using WriteFileFunction = std::function<bool(const std::string& path, const std::string& bytes)>;
bool writeFileAtomically(const std::string& path, const std::string& bytes);

enum class PluginInstallResult { NoSupportFolder, CannotCreateFolder, CannotWriteChunks, CannotWritePreset, Installed };

// installLR2Plugin: the plug-in, then the export preset, with every alert of
// the way. `writeFile` writes each file (writeFileAtomically when empty).
PluginInstallResult installLR2Plugin(const PluginInstallPaths& paths, const AlertFunction& alert,
                                     const WriteFileFunction& writeFile = {});

// The folder below which the host keeps plug-ins and presets ("<support>/Adobe/Lightroom/").
std::string lightroomBaseFolder(const std::string& supportFolder);
// The text of "Open in DVK.lrtemplate".
std::string lightroomExportPresetText();
// $XDG_CONFIG_HOME (else ~/.config) + "/com.adobe.Lightroom2.plist".
std::string lightroomPreferenceFile();
// "AgTemplateBrowser_storePresetsWithCatalog" of that file; false when the
// file, the key or a boolean under it is missing.
bool lightroomStoresPresetsWithCatalog(const std::string& preferenceFile);

}  // namespace dvk
