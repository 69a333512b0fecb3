// Recording stand-ins for the window's side of the menus.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/menus/filter_menu.h"
#include "app/menus/profile_menu.h"
#include "app/menus/wb_preset_menu.h"

namespace dvk::test {

struct FakeProfileMenuView : ProfileMenuView {
    std::optional<MenuItems> menu;  // nullopt: no "Profiles" menu
    int menuSets = 0;
    std::string checked;
    std::vector<std::string> titles;
    void setProfilesMenu(const MenuItems* items) override {
        ++menuSets;
        menu = items ? std::optional<MenuItems>(*items) : std::nullopt;
    }
    void checkProfileItem(const std::string& title) override { checked = title; }
    void setWindowTitle(const std::string& title) override { titles.push_back(title); }
};

struct FakeFiltersButtonView : FiltersButtonView {
    MenuItems items;
    int selected = -1;
    void setGeneratedFilterItems(const MenuItems& generated) override { items = generated; }
    void selectFilterTag(int tag) override { selected = tag; }
    long selectedFilterTag() const override { return selected; }
};

struct FakeWbButtonView : WbButtonView {
    MenuItems items;
    int selected = 0;
    void setGeneratedWbItems(const MenuItems& generated) override { items = generated; }
    void selectWbTag(int tag) override { selected = tag; }
    int selectedWbTag() const override { return selected; }
};

}  // namespace dvk::test
