// The "Profiles" menu: the camera input profile of the open file.
//
// The menu holds "Default", the camera's variants (a Phase One back's
// incandescent profile, the Leica M8's hot-mirror one), "Built-in" (the camera
// matrix profile) unless it is already the camera's own choice, and the
// user's profile files ("icc"/"icm" below the "Profiles" folder of the
// support folder). A menu with "Default" alone is not shown.
//
// The functions decide; the window shows. The window implements
// ProfileMenuView; the controller calls createProfileMenu for every opened
// file and setCustomCameraProfile for a menu choice (from the menu) or a name
// (from settings, history and the profiling window).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/common/alert_function.h"
#include "app/menus/menu_item.h"

namespace dvk {

struct DVKLib;
class RawProcessor;

// support folder + "/Profiles".
std::string userProfileFolder(const std::string& supportFolder);

// The "icc" and "icm" files (any letter case) below `folder`, by their paths
// relative to it, sorted case-insensitively. Links to folders are not
// entered; links to files are listed. Empty when the folder is missing.
std::vector<std::string> listUserProfiles(const std::string& folder);

// The variants offered for the camera's built-in profile name.
std::vector<std::string> cameraProfileVariants(const std::string& builtinName);

struct ProfileMenuInputs {
    // The camera's built-in profile name with the user's built-in choice in
    // effect (the choice itself when there is one).
    std::string builtinName;
    // The camera's own choice, the user's not asked.
    std::string cameraOwnName;
    // The profile table knows "Built-in" (the camera matrix profile).
    bool builtInKnown = true;
    std::vector<std::string> userProfiles;  // as listUserProfiles gives them
    std::string customRawProfile;           // the processor's customRawProfile()
    std::string profileFolder;
};

struct ProfileMenu {
    MenuItems items;    // "Default" first
    bool shown = false; // two or more items
    std::string current;  // the title to select
};

// Reads the record (never writes it, so an apply worker may use it meanwhile)
// and lists the user's profiles; makes the profile folder when missing.
ProfileMenuInputs profileMenuInputs(const DVKLib* d, const std::string& customRawProfile,
                                    const std::string& profileFolder);
ProfileMenu profileMenuContents(const ProfileMenuInputs& in);

// The menu title that stands for a customRawProfile value: "Default" for
// none, the path relative to the profile folder for a file inside it (or for
// a link in it to the file), the path itself for any other file, else the
// built-in name itself. A profile outside the folder gets an item of its
// own, titled by its path. Wherever a profile is put back (settings import,
// history, paste), setCustomCameraProfile takes the value itself (or
// "Default" for none).
std::string profileMenuTitleFor(const std::string& customRawProfile, const std::string& profileFolder);

enum class ProfileSender { MenuItem, Name };

struct ProfileChoice {
    std::string value;        // for RawProcessor::setCustomRawProfile ("" = none)
    std::string checkedTitle; // the item to mark in the menu
    std::optional<std::string> windowTitle;  // set when a file is open
    bool reapply = false;
};

// What setCustomCameraProfile does for `name`: "Default" clears; a path
// (beginning with '/') is that file, marked by the title profileMenuTitleFor
// gives it; a name ending in "icc"/"icm" (any case) is the file of that name
// in the profile folder, links resolved; any other name is a built-in
// profile name. The window title is the open file's name, and "name
// (profile)" for a profile. Only a menu choice re-applies, and only with
// auto-apply on.
ProfileChoice decideProfileChoice(const std::string& name, ProfileSender sender, bool autoApplyDisabled,
                                  const std::string& profileFolder, const std::string& openFileName);

// What the window does for the profile menu.
class ProfileMenuView {
public:
    virtual ~ProfileMenuView() = default;
    // Puts the "Profiles" menu at position 5 of the main menu (each Choice
    // item's action is setCustomCameraProfile with its title), replacing the
    // one there; null removes it.
    virtual void setProfilesMenu(const MenuItems* items) = 0;
    // Marks the item titled `title` and unmarks every other.
    virtual void checkProfileItem(const std::string& title) = 0;
    // Called on the main thread.
    virtual void setWindowTitle(const std::string& title) = 0;
};

struct ProfileMenuRoad {
    RawProcessor& processor;
    ProfileMenuView& view;
    std::string profileFolder;
    std::function<bool()> autoApplyDisabled;  // "DisableAutoApply"
    std::function<void()> apply;              // apply: nil
    AlertFunction alert;                      // a profile file that cannot be read
};

// Rebuilds the menu for the open file and selects the current profile (the
// processor is handed it again only when the menu's title stands for another
// value, so a worker reading the record meanwhile sees no change).
void createProfileMenu(const ProfileMenuRoad& road);
// Hands the choice to the processor, marks it (a file outside the folder
// gets its item: the menu is rebuilt), retitles the window (through the main
// queue) and re-applies as decideProfileChoice says. A profile that cannot
// serve (settle_custom_profile: a file that cannot be read or is no RGB input
// profile, an unknown name) is an alert naming why, and "Default" takes its
// place (both here and when the rebuilt menu re-selects it).
void setCustomCameraProfile(const ProfileMenuRoad& road, const std::string& name, ProfileSender sender);

}  // namespace dvk
