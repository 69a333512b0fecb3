#include "app/menus/editors_button_items.h"

#include <algorithm>

#include "app/desktop/editor_launch.h"

namespace dvk {

std::vector<EditorsButtonItem> editorsButtonItems(std::vector<std::string>& editors) {
    std::vector<EditorsButtonItem> items{{"Don't open", "`", false}};
    int added = 0;
    for (std::size_t i = 0; i < editors.size();) {
        const std::string title = editorItemTitle(editors[i]);
        const bool repeated = std::any_of(items.begin(), items.end(),
                                          [&](const EditorsButtonItem& item) { return item.title == title; });
        if (repeated) {
            editors.erase(editors.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        ++added;
        items.push_back({title, added <= 10 ? std::to_string(added) : std::string(), false});
        ++i;
    }
    items.push_back({"", "", true});
    items.push_back({"New...", "", false});
    items.push_back({"Delete", "", false});
    return items;
}

}  // namespace dvk
