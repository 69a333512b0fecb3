// extEditorsButtonChanged: choosing an item of the editors pop-up selects an
// editor, "New..." adds one, "Delete" removes the current one.
//
// The pop-up holds "Don't open", one "Open in <name>" item per editor, a
// separator, "New..." and "Delete" (built by initEditorsButton from
// `editors`); `currentEditor` is the index of the chosen item, 0 for "Don't
// open", k + 1 for editor k.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/common/alert_function.h"

namespace dvk {

// Where "New..." starts looking for an application.
inline constexpr const char* kEditorsStartFolder = "/usr/share/applications";

struct EditorsButtonPorts {
    AlertFunction alert;
    ChooseFileFunction chooseFile;                     // the open panel
    std::function<std::vector<std::string>()> titles;  // the pop-up's item titles now
    std::function<void()> rebuild;                     // initEditorsButton (may drop duplicates from editors)
    std::function<void(std::int64_t)> select;          // selects an item of the pop-up
};

void extEditorsButtonChanged(std::vector<std::string>& editors, std::int64_t& currentEditor, std::int64_t chosenItem,
                             const EditorsButtonPorts& ports);

}  // namespace dvk
