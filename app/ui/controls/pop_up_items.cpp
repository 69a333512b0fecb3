#include "app/ui/controls/pop_up_items.h"

#include <limits>

#include "app/ui/controls/pop_up_button_scroller.h"

namespace dvk {

void addPopUpItems(PopUpButtonScroller& popUp, const MenuItems& items) {
    for (const MenuItem& item : items) {
        switch (item.kind) {
            case MenuItemKind::Separator:
                popUp.insertSeparator(popUp.count());
                break;
            case MenuItemKind::Header:
                // A tag no setting takes, so that selecting a tag never finds a header.
                popUp.addTaggedItem(QString::fromStdString(item.title), std::numeric_limits<long>::min(), false);
                break;
            case MenuItemKind::Choice:
                popUp.addTaggedItem(QString::fromStdString(item.title), item.tag);
                break;
        }
    }
}

void removePopUpItemsFrom(PopUpButtonScroller& popUp, int index) {
    while (popUp.count() > index) popUp.removeItem(popUp.count() - 1);
}

}  // namespace dvk
