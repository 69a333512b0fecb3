#include "app/ui/main_window/filters_pop_up.h"

#include <QtCore/QSignalBlocker>

#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/controls/pop_up_items.h"

namespace dvk {

FiltersPopUp::FiltersPopUp(PopUpButtonScroller& popUp) : popUp_(popUp) {
    const QSignalBlocker block(&popUp_);
    popUp_.clear();
    addPopUpItems(popUp_, filterFixedItems());
    fixedCount_ = popUp_.count();
}

void FiltersPopUp::setGeneratedFilterItems(const MenuItems& items) {
    const QSignalBlocker block(&popUp_);
    const long selected = popUp_.selectedTag();
    removePopUpItemsFrom(popUp_, fixedCount_);
    if (!items.empty()) {
        popUp_.insertSeparator(popUp_.count());
        addPopUpItems(popUp_, items);
    }
    popUp_.selectTag(selected);
}

void FiltersPopUp::selectFilterTag(int tag) { popUp_.selectTag(tag); }

long FiltersPopUp::selectedFilterTag() const { return popUp_.selectedTag(); }

}  // namespace dvk
