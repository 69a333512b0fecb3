#include "app/desktop/plugin_install.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "pipeline/settings/plist_node.h"
#include "pipeline/writers/safe_output.h"
#include "platform/folder_functions.h"
#include "platform/log.h"

namespace dvk {

namespace {

namespace fs = std::filesystem;

constexpr const char* kPluginInstallation = "Plugin Installation";
constexpr const char* kPresetInstallation = "Export Preset Installation";

bool readWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Puts `fresh` in the place of `target` in one step: exchanged with an
// existing folder (the old one then removed), else renamed into place.
bool swapFolderIntoPlace(const std::string& fresh, const std::string& target) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(target, ec))) return std::rename(fresh.c_str(), target.c_str()) == 0;
    if (renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
        fs::remove_all(fresh, ec);
        return true;
    }
    // A file system without the exchange: move the old folder aside first.
    const std::string aside = fresh + ".old";
    if (std::rename(target.c_str(), aside.c_str()) != 0) return false;
    if (std::rename(fresh.c_str(), target.c_str()) != 0) {
        std::rename(aside.c_str(), target.c_str());
        return false;
    }
    fs::remove_all(aside, ec);
    return true;
}

// The chunks into a fresh folder beside `pluginFolder`, swapped into place.
bool writePluginFolder(const PluginInstallPaths& paths, const std::string& pluginFolder, const WriteFileFunction& write) {
    const std::string parent = pluginFolder.substr(0, pluginFolder.rfind('/'));
    std::string fresh = parent + "/.DVK_LR2.lrplugin.XXXXXX";
    if (!mkdtemp(fresh.data())) {
        log_line("Can't make a folder in %s: %s", parent.c_str(), std::strerror(errno));
        return false;
    }
    chmod(fresh.c_str(), 0755);
    bool ok = true;
    for (const char* name : kLightroomPluginChunks) {
        std::string bytes;
        const std::string source = paths.chunkFolder + "/" + name;
        if (!readWholeFile(source, bytes) || bytes.empty()) {
            log_line("Plug-in resource %s is missing", source.c_str());
            ok = false;
            break;
        }
        if (!write(fresh + "/" + name, bytes)) {
            log_line("Can't write %s/%s", pluginFolder.c_str(), name);
            ok = false;
            break;
        }
    }
    if (ok && !swapFolderIntoPlace(fresh, pluginFolder)) {
        log_line("Can't put the plug-in in place at %s: %s", pluginFolder.c_str(), std::strerror(errno));
        ok = false;
    }
    if (!ok) {
        std::error_code ec;
        fs::remove_all(fresh, ec);
    }
    return ok;
}

}  // namespace

bool writeFileAtomically(const std::string& path, const std::string& bytes) {
    SafeOutputFile out(path);
    if (!out.stream()) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), out.stream()) != bytes.size()) return false;
    return out.commit();
}

std::string lightroomBaseFolder(const std::string& supportFolder) { return supportFolder + "/Adobe/Lightroom/"; }

std::string lightroomExportPresetText() {
    return std::string("s = {\n") +
           "    internalName = \"Open in DVK\",\n"
           "    title = \"Open in DVK\",\n"
           "    type = \"Export\",\n"
           "    value = {\n"
           "        exportServiceProvider = \"" + kLightroomToolkitIdentifier + "\",\n"
           "        exportServiceProviderTitle = \"Open in DVK\",\n"
           "        tokens = \"{{image_name}}\",\n"
           "    },\n"
           "    version = 0,\n"
           "}\n"
           "    ";
}

std::string lightroomPreferenceFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && config[0] == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home ? home : "") + "/.config";
    }
    return folder + "/com.adobe.Lightroom2.plist";
}

bool lightroomStoresPresetsWithCatalog(const std::string& preferenceFile) {
    std::string data;
    if (!readWholeFile(preferenceFile, data)) return false;
    PlistPtr root = plist_parse(data);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return false;
    plist_t item = plist_dict_get_item(root.get(), "AgTemplateBrowser_storePresetsWithCatalog");
    if (!item || plist_get_node_type(item) != PLIST_BOOLEAN) return false;
    uint8_t value = 0;
    plist_get_bool_val(item, &value);
    return value != 0;
}

PluginInstallResult installLR2Plugin(const PluginInstallPaths& paths, const AlertFunction& alert,
                                     const WriteFileFunction& writeFile) {
    if (paths.supportFolder.empty()) return PluginInstallResult::NoSupportFolder;
    const WriteFileFunction write = writeFile ? writeFile : WriteFileFunction(writeFileAtomically);
    const std::string base = lightroomBaseFolder(paths.supportFolder);
    const std::string pluginFolder = base + "Modules/DVK_LR2.lrplugin";

    if (!createDirectoryPath(base + "Modules")) {
        alert(kPluginInstallation, formatAlertText("Can't create directory %@.", {pluginFolder}), {"Cancel"});
        return PluginInstallResult::CannotCreateFolder;
    }
    if (!writePluginFolder(paths, pluginFolder, write)) {
        alert(kPluginInstallation, formatAlertText("Can't write to directory %@", {pluginFolder}), {"Cancel"});
        return PluginInstallResult::CannotWriteChunks;
    }

    const std::string presets = base + "Export Presets/User Presets";
    createDirectoryPath(presets);
    if (!write(presets + "/Open in DVK.lrtemplate", lightroomExportPresetText())) {
        alert(kPresetInstallation, formatAlertText("Can't create export preset in %@", {presets}), {"Cancel"});
        return PluginInstallResult::CannotWritePreset;
    }

    if (lightroomStoresPresetsWithCatalog(paths.hostPreferenceFile)) {
        alert(kPresetInstallation,
              "Since you are using Lightroom preference \"Store presets with catalog\" you may need to create DVK "
              "Export Preset manually in Lightroom Export dialog for each Lightroom catalog when it's opened. Just "
              "pick \"Open Raw in DVK\" on top of the Export window, click Add and give it some name. This preset is "
              "not required to use DVK Export plugin, but will make it simpler.\nSee DVK manual for more details.",
              {"Ok"});
    }
    alert(kPluginInstallation, "Plugin is successfully installed.", {"Ok"});
    return PluginInstallResult::Installed;
}

}  // namespace dvk
