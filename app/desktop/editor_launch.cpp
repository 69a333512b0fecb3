#include "app/desktop/editor_launch.h"

#include <sys/stat.h>
#include <unistd.h>

#include "app/desktop/desktop_entry.h"
#include "platform/folder_functions.h"
#include "platform/log.h"
#include "platform/process_runner.h"

namespace dvk {

bool isExecutableFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string editorName(const std::string& editorPath) {
    std::string name = editorPath.substr(editorPath.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

std::string editorItemTitle(const std::string& editorPath) { return "Open in " + editorName(editorPath); }

EditorLaunchResult launchEditor(ProcessRunner& runner, const std::string& editor, const std::vector<std::string>& files,
                                const std::map<std::string, std::string>& environment) {
    const std::string app = resolveAliasPath(editor);
    std::vector<std::vector<std::string>> commands;
    std::string error;
    if (isDesktopEntryPath(app)) {
        auto entry = readDesktopEntry(app, &error);
        auto found = entry ? desktopEntryCommands(*entry, files, &error) : std::nullopt;
        if (!found) return {false, app + ": " + error};
        commands = std::move(*found);
    } else if (isExecutableFile(app)) {
        commands.push_back({app});
        commands.back().insert(commands.back().end(), files.begin(), files.end());
    } else {
        return {false, app + " is no executable file"};
    }

    ProcessRequest request;
    request.output = OutputMode::Inherit;  // the editor's messages land in the log
    for (const auto& [name, value] : environment) request.environment[name] = value;
    EditorLaunchResult result{true, {}};
    for (const auto& args : commands) {
        request.program = args.front();
        request.arguments.assign(args.begin() + 1, args.end());
        DetachedStart start = runner.start_detached(request);
        if (!start.started()) {
            log_line("%s", start.start_error.c_str());
            result = {false, start.start_error};
        }
    }
    return result;
}

EditorLaunchResult launchEditorOnSavedFile(ProcessRunner& runner, const std::string& editor,
                                           const SavedFileForEditor& saved) {
    return launchEditor(runner, editor, {saved.outputFile},
                        {{"DVK_INFILE", saved.rawFile}, {"DVK_OUTFILE", saved.outputFile}, {"DVK_CAMERA", saved.camera}});
}

}  // namespace dvk
