// Pop-up items made of menu items (app/menus/menu_item.h): a choice is an item
// carrying its tag, a header an item that cannot be chosen (picking it would
// do nothing), a separator a line.
#pragma once

#include "app/menus/menu_item.h"

namespace dvk {

class PopUpButtonScroller;

void addPopUpItems(PopUpButtonScroller& popUp, const MenuItems& items);
// Removes every item from `index` on.
void removePopUpItemsFrom(PopUpButtonScroller& popUp, int index);

}  // namespace dvk
