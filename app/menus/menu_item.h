// Menu and pop-up contents as data: the rules decide the items, the window
// only makes widgets of them.
//
// A Choice item runs its menu's action with its title and tag; a Header item
// (a camera name, "User Defined") runs `blah`, which does nothing; a
// Separator is a line.
#pragma once

#include <string>
#include <vector>

namespace dvk {

enum class MenuItemKind { Choice, Header, Separator };

struct MenuItem {
    std::string title;
    int tag = 0;
    MenuItemKind kind = MenuItemKind::Choice;

    static MenuItem choice(std::string title, int tag = 0) { return {std::move(title), tag, MenuItemKind::Choice}; }
    static MenuItem header(std::string title) { return {std::move(title), 0, MenuItemKind::Header}; }
    static MenuItem separator() { return {std::string(), 0, MenuItemKind::Separator}; }
    bool operator==(const MenuItem&) const = default;
};

using MenuItems = std::vector<MenuItem>;

// The action of header items: nothing.
inline void blah() {}

}  // namespace dvk
