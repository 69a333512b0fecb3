// initEditorsButton's rule: the items of the editors pop-up, built from the
// list of editors (which loses any editor whose item would repeat a title).
#pragma once

#include <string>
#include <vector>

namespace dvk {

struct EditorsButtonItem {
    std::string title;          // empty for the separator
    std::string keyEquivalent;  // with the Control modifier; empty: none
    bool separator = false;
};

// "Don't open" (key "`"), "Open in <name>" for each editor (the first ten
// with the keys "1" to "10"), a separator, "New..." and "Delete". An editor
// whose title is already there is removed from `editors`.
std::vector<EditorsButtonItem> editorsButtonItems(std::vector<std::string>& editors);

}  // namespace dvk
