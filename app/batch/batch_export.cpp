#include "app/batch/batch_export.h"

#include <fstream>
#include <iterator>
#include <sys/stat.h>

#include "app/desktop/desktop_entry.h"
#include "app/desktop/editor_launch.h"
#include "pipeline/settings/plist_node.h"
#include "platform/folder_functions.h"

namespace dvk {

namespace {

}  // namespace

std::optional<std::vector<std::string>> readBatchSavedList(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    PlistPtr root = plist_parse(data);
    if (!root || plist_get_node_type(root.get()) != PLIST_ARRAY) return std::nullopt;
    std::vector<std::string> paths;
    for (uint32_t i = 0, n = plist_array_get_size(root.get()); i < n; ++i) {
        bool ok = false;
        std::string p = plist_string(plist_array_get_item(root.get(), i), &ok);
        if (!ok) return std::nullopt;
        paths.push_back(std::move(p));
    }
    return paths;
}

BatchExportResult exportBatchSavedToApp(const std::vector<std::string>& editors, std::int64_t currentEditor,
                                        const std::string& batchSavedFile, const AlertFunction& alert,
                                        ProcessRunner& runner) {
    if (currentEditor <= 0 || std::size_t(currentEditor) > editors.size()) return BatchExportResult::NoEditor;
    const std::string& editor = editors[std::size_t(currentEditor - 1)];
    const std::string app = resolveAliasPath(editor);
    const auto list = readBatchSavedList(batchSavedFile);
    if (!list) {
        alert("", "There is no results from last batch available", {"Cancel"});
        return BatchExportResult::NoList;
    }
    const std::map<std::string, std::string> environment = {{"DVK_BATCHRESFILE", batchSavedFile}};

    if (isDesktopEntryPath(app)) {
        std::vector<std::string> files;
        files.reserve(36);
        for (const std::string& p : *list)
            if (exists_at(p)) files.push_back(p);
        if (files.empty()) {
            alert("", "There is no results from last batch found", {"Cancel"});
            return BatchExportResult::NoFilesLeft;
        }
        const std::string text = formatAlertText("You are about to open %@ files saved with last batch in %@ at once",
                                                 {std::to_string(files.size()), editorName(editor)});
        if (alert("Warning", text, {"Continue", "Cancel"}) != kAlertFirstButton) return BatchExportResult::Cancelled;
        if (!launchEditor(runner, app, files, environment).started) {
            alert("",
                  formatAlertText("Can't launch %@. Try again if you deleted some batch results, otherwise make sure "
                                  "that the application is available and working.",
                                  {app}),
                  {"Ok"});
            return BatchExportResult::LaunchFailed;
        }
        return BatchExportResult::Launched;
    }

    if (!isExecutableFile(app)) {
        alert("", formatAlertText("Can't execute %@. Make sure that the application is available and working", {app}),
              {"Ok"});
        return BatchExportResult::NotExecutable;
    }
    if (!launchEditor(runner, app, {}, environment).started) {
        alert("", formatAlertText("Execution of %@ failed.", {app}), {"Ok"});
        return BatchExportResult::LaunchFailed;
    }
    return BatchExportResult::Launched;
}

}  // namespace dvk
