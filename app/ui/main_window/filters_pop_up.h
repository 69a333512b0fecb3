// The filters pop-up of the main window as the filter menu's view
// (filter_menu.h): its fixed items, then the generated ones (tags 99, 100,
// 2000 and up) replaced whole on each refresh.
#pragma once

#include "app/menus/filter_menu.h"

namespace dvk {

class PopUpButtonScroller;

class FiltersPopUp : public FiltersButtonView {
public:
    // Fills `popUp` with the fixed items.
    explicit FiltersPopUp(PopUpButtonScroller& popUp);

    void setGeneratedFilterItems(const MenuItems& items) override;
    void selectFilterTag(int tag) override;
    long selectedFilterTag() const override;

private:
    PopUpButtonScroller& popUp_;
    int fixedCount_ = 0;
};

}  // namespace dvk
