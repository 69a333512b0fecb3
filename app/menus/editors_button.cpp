#include "app/menus/editors_button.h"

#include <algorithm>

#include "app/desktop/editor_launch.h"

namespace dvk {

namespace {

void addEditor(std::vector<std::string>& editors, std::int64_t& currentEditor, const EditorsButtonPorts& ports) {
    const auto path = ports.chooseFile(kEditorsStartFolder);
    if (!path) {
        ports.select(currentEditor);
        return;
    }
    const std::string title = editorItemTitle(*path);
    const std::vector<std::string> titles = ports.titles();
    if (std::find(titles.begin(), titles.end(), title) != titles.end()) {
        ports.alert("", formatAlertText("\"%@\" is already in the menu and cannot be added again", {title}), {"Ok"});
        ports.select(currentEditor);
        return;
    }
    editors.push_back(*path);
    ports.rebuild();
    currentEditor = std::int64_t(ports.titles().size()) - 4;
    ports.select(currentEditor);
}

void deleteEditor(std::vector<std::string>& editors, std::int64_t& currentEditor, const EditorsButtonPorts& ports) {
    const std::vector<std::string> titles = ports.titles();
    const std::int64_t count = std::int64_t(titles.size());
    const bool editorCurrent = currentEditor > 0 && currentEditor < count - 3 &&
                               std::size_t(currentEditor) <= editors.size();
    if (!editorCurrent) {
        ports.select(currentEditor);
        return;
    }
    const std::string& title = titles[std::size_t(currentEditor)];
    const std::string name = title.size() > 8 ? title.substr(8) : std::string();
    const int answer =
        ports.alert("", formatAlertText("Are you sure that you want to delete %@ from the list?", {name}), {"Yes", "Cancel"});
    if (answer != kAlertFirstButton) {
        ports.select(currentEditor);  // the pop-up shows the current editor again, not "Delete"
        return;
    }
    editors.erase(editors.begin() + (currentEditor - 1));
    ports.rebuild();
    currentEditor = 0;
    ports.select(0);
}

}  // namespace

void extEditorsButtonChanged(std::vector<std::string>& editors, std::int64_t& currentEditor, std::int64_t chosenItem,
                             const EditorsButtonPorts& ports) {
    const std::vector<std::string> titles = ports.titles();
    if (chosenItem < 0 || chosenItem >= std::int64_t(titles.size())) return;
    const std::string& title = titles[std::size_t(chosenItem)];
    if (title == "New...")
        addEditor(editors, currentEditor, ports);
    else if (title == "Delete")
        deleteEditor(editors, currentEditor, ports);
    else
        currentEditor = chosenItem;
}

}  // namespace dvk
