// The "Profiles" menu of the main window's menu bar: items made of the
// profile menu's answer (profile_menu.h), each choice sent back by its title.
#pragma once

#include <QtCore/QPointer>
#include <functional>
#include <string>

#include "app/menus/profile_menu.h"

class QMenu;
class QMenuBar;
class QWidget;

namespace dvk {

class ProfilesMenu : public ProfileMenuView {
public:
    // The menu position of the "Profiles" menu.
    static constexpr int kPosition = 5;

    // `chosen` gets the title of each item the user picks; the window's
    // title is set on `window`.
    ProfilesMenu(QMenuBar& menuBar, QWidget& window, std::function<void(const std::string&)> chosen);

    void setProfilesMenu(const MenuItems* items) override;
    void checkProfileItem(const std::string& title) override;
    void setWindowTitle(const std::string& title) override;

    // The menu now in the menu bar (null when none).
    QMenu* menu() const { return menu_; }

private:
    QMenuBar& menuBar_;
    QWidget& window_;
    std::function<void(const std::string&)> chosen_;
    QPointer<QMenu> menu_;
};

}  // namespace dvk
