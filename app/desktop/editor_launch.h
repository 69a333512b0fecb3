// Starting an external editor on files: the one launch that the after-save
// actions and the export of a batch's results share.
//
// An editor is an executable, or a desktop entry (".desktop") whose Exec line
// names the program and where the files go. It starts detached through the
// process runner, with its own environment: the variables given here reach
// the editor only, never this program's environment.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace dvk {

class ProcessRunner;

struct EditorLaunchResult {
    bool started = false;
    std::string error;  // why not, for the log or an alert
};

// Opens `files` in `editor` (aliases resolved), with `environment` set for
// the editor alone. An executable gets the files as its arguments; a desktop
// entry as its Exec line says. Nothing starts when the editor is neither.
EditorLaunchResult launchEditor(ProcessRunner& runner, const std::string& editor, const std::vector<std::string>& files,
                                const std::map<std::string, std::string>& environment);

// What the after-save launch tells the editor about the file it gets.
struct SavedFileForEditor {
    std::string rawFile;     // DVK_INFILE
    std::string outputFile;  // DVK_OUTFILE, the file opened
    std::string camera;      // DVK_CAMERA, make and model
};
EditorLaunchResult launchEditorOnSavedFile(ProcessRunner& runner, const std::string& editor,
                                           const SavedFileForEditor& saved);

// Whether `path` is a regular file this process may execute.
bool isExecutableFile(const std::string& path);

// The editor's name in the editors pop-up: its file name without extension;
// the item's title is "Open in " + that name.
std::string editorName(const std::string& editorPath);
std::string editorItemTitle(const std::string& editorPath);

}  // namespace dvk
