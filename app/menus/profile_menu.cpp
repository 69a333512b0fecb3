#include "app/menus/profile_menu.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "colour/camera_profile.h"
#include "colour/input_profile_check.h"
#include "colour/profile_lookup.h"
#include "pipeline/processor/custom_profile.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/writers/output_naming.h"
#include "platform/dispatch.h"
#include "platform/folder_functions.h"
#include "platform/log.h"

namespace dvk {

namespace fs = std::filesystem;

namespace {

bool has_profile_extension(const std::string& name) {
    const std::string::size_type dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return false;
    const char* ext = name.c_str() + dot + 1;
    return strcasecmp(ext, "icc") == 0 || strcasecmp(ext, "icm") == 0;
}

std::string folder_prefix(const std::string& folder) {
    return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

}  // namespace

std::string userProfileFolder(const std::string& supportFolder) { return supportFolder + "/Profiles"; }

std::vector<std::string> listUserProfiles(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec) return found;
    const std::string prefix = folder_prefix(folder);
    for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const fs::directory_entry& entry = *it;
        std::error_code type_ec;
        if (!entry.is_regular_file(type_ec)) continue;  // follows a link to a file
        const std::string path = entry.path().string();
        if (!has_profile_extension(path) || path.compare(0, prefix.size(), prefix) != 0) continue;
        found.push_back(path.substr(prefix.size()));
    }
    std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
        const int c = strcasecmp(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    });
    return found;
}

std::vector<std::string> cameraProfileVariants(const std::string& builtinName) {
    std::vector<std::string> variants;
    auto has = [&](const char* text) { return builtinName.find(text) != std::string::npos; };
    if (has("Leica M8")) variants.emplace_back("Leica M8 Hot Mirror");
    for (const char* back : {"P45", "P30", "P25", "P21", "P20"}) {
        const std::string plain = std::string("Phase One ") + back;
        if (has((plain + "+").c_str())) variants.push_back(plain + "+ Incandescent");
        else if (has(plain.c_str())) variants.push_back(plain + " Incandescent");
    }
    return variants;
}

ProfileMenuInputs profileMenuInputs(const DVKLib* d, const std::string& customRawProfile,
                                    const std::string& profileFolder) {
    ProfileMenuInputs in;
    createDirectoryPath(profileFolder);
    in.builtinName = camera_builtin_profile_name(d);
    in.cameraOwnName = camera_own_profile_name(d);
    int index = -1;
    getDVKProfileRef(d, "Built-in", &index);
    in.builtInKnown = index >= 0;
    in.userProfiles = listUserProfiles(profileFolder);
    in.customRawProfile = customRawProfile;
    in.profileFolder = profileFolder;
    return in;
}

ProfileMenu profileMenuContents(const ProfileMenuInputs& in) {
    ProfileMenu menu;
    menu.items.push_back(MenuItem::choice("Default"));
    for (std::string& variant : cameraProfileVariants(in.builtinName)) {
        menu.items.push_back(MenuItem::choice(std::move(variant)));
        menu.items.push_back(MenuItem::separator());
    }
    if (in.cameraOwnName.rfind("Built-in", 0) != 0 && in.builtInKnown) {
        menu.items.push_back(MenuItem::choice("Built-in"));
        menu.items.push_back(MenuItem::separator());
    }
    for (const std::string& file : in.userProfiles) menu.items.push_back(MenuItem::choice(file));
    menu.current = profileMenuTitleFor(in.customRawProfile, in.profileFolder);
    // A profile file outside the folder (from the history, a settings file)
    // is listed by its path, so that the menu shows what develops.
    if (!menu.current.empty() && menu.current[0] == '/') {
        if (menu.items.back().kind != MenuItemKind::Separator) menu.items.push_back(MenuItem::separator());
        menu.items.push_back(MenuItem::choice(menu.current));
    }
    menu.shown = menu.items.size() >= 2;
    return menu;
}

std::string profileMenuTitleFor(const std::string& customRawProfile, const std::string& profileFolder) {
    if (customRawProfile.empty()) return "Default";
    if (customRawProfile[0] != '/') return customRawProfile;
    const std::string prefix = folder_prefix(profileFolder);
    if (!profileFolder.empty() && customRawProfile.size() > prefix.size() &&
        customRawProfile.compare(0, prefix.size(), prefix) == 0 && has_profile_extension(customRawProfile))
        return customRawProfile.substr(prefix.size());
    // A link in the folder to this file stands for it (the menu resolves its
    // items' links when they are chosen).
    for (const std::string& item : listUserProfiles(profileFolder))
        if (resolveAliasPath(prefix + item) == customRawProfile) return item;
    return customRawProfile;
}

ProfileChoice decideProfileChoice(const std::string& name, ProfileSender sender, bool autoApplyDisabled,
                                  const std::string& profileFolder, const std::string& openFileName) {
    ProfileChoice choice;
    choice.checkedTitle = name;
    const bool file_open = !openFileName.empty();
    const std::string file_title = last_path_component(openFileName);
    if (name == "Default") {
        if (file_open) choice.windowTitle = file_title;
    } else {
        // A path is kept as it is (and marks the item that stands for it); a
        // file name is the file in the folder.
        if (!name.empty() && name[0] == '/') {
            choice.value = name;
            choice.checkedTitle = profileMenuTitleFor(name, profileFolder);
        } else {
            choice.value = custom_profile_value(name, profileFolder);
        }
        if (file_open) choice.windowTitle = file_title + " (" + choice.checkedTitle + ")";
    }
    choice.reapply = sender == ProfileSender::MenuItem && !autoApplyDisabled;
    return choice;
}

namespace {

// A profile the processor could not take (a file that cannot be read or
// cannot serve, an unknown name): the user is told why, and the camera's own
// profile develops, as the menu then shows.
ProfileChoice unusable_profile(const ProfileMenuRoad& road, const ProfileChoice& choice) {
    const std::string why = custom_profile_reason(road.processor);
    log_line("Camera profile %s cannot be used (%s): Default is used", choice.value.c_str(), why.c_str());
    if (road.alert)
        road.alert("Camera profile not found",
                   "The camera profile \"" + choice.value + "\" cannot be read" + (why.empty() ? "" : " (" + why + ")") +
                       ". The default profile is used instead.",
                   {"Ok"});
    ProfileChoice fallback = choice;
    fallback.value.clear();
    fallback.checkedTitle = "Default";
    if (fallback.windowTitle) fallback.windowTitle = last_path_component(road.processor.fileName());
    road.processor.setCustomRawProfile(std::string());
    return fallback;
}

// Hands `choice` to the processor (only when it changes the processor's
// value, unless `always`); what is in force afterwards.
ProfileChoice hand_over(const ProfileMenuRoad& road, ProfileChoice choice, bool always) {
    if (always || choice.value != road.processor.customRawProfile()) road.processor.setCustomRawProfile(choice.value);
    // The rule every develop follows (a save, a batch, the tools).
    if (settle_custom_profile(road.processor, road.profileFolder)) return unusable_profile(road, choice);
    return choice;
}

// Retitles the window, marks the item, re-applies.
void show(const ProfileMenuRoad& road, const ProfileChoice& choice) {
    if (choice.windowTitle) {
        ProfileMenuView* view = &road.view;
        runOnMainQueue([view, title = *choice.windowTitle] { view->setWindowTitle(title); });
    }
    road.view.checkProfileItem(choice.checkedTitle);
    if (choice.reapply && road.apply) road.apply();
}

ProfileMenu menu_for(const ProfileMenuRoad& road) {
    return profileMenuContents(
        profileMenuInputs(road.processor.dvklib(), road.processor.customRawProfile(), road.profileFolder));
}

ProfileChoice decide(const ProfileMenuRoad& road, const std::string& name, ProfileSender sender) {
    const bool disabled = road.autoApplyDisabled && road.autoApplyDisabled();
    return decideProfileChoice(name, sender, disabled, road.profileFolder, road.processor.fileName());
}

}  // namespace

void createProfileMenu(const ProfileMenuRoad& road) {
    ProfileMenu menu = menu_for(road);
    // A profile file that went away (or cannot be read any more) since the
    // processor read it: its copy in memory is not used on in silence. The
    // user is told, as the open does, and what is on screen is developed
    // again with the default profile.
    const DVKLib* d = road.processor.dvklib();
    const std::string& current = road.processor.customRawProfile();
    if (!current.empty() && current[0] == '/' && d && d->custom_profile_data && !read_input_profile_file(current)) {
        const ProfileChoice gone = decide(road, menu.current, ProfileSender::Name);
        road.processor.setCustomRawProfile(std::string(current));  // read again: the reason
        const ProfileChoice choice = unusable_profile(road, gone);
        menu = menu_for(road);
        road.view.setProfilesMenu(menu.shown ? &menu.items : nullptr);
        show(road, choice);
        const bool disabled = road.autoApplyDisabled && road.autoApplyDisabled();
        if (!road.processor.fileName().empty() && road.apply && !disabled) road.apply();
        return;
    }
    // Re-selecting the profile the processor already has leaves the record
    // alone: an apply worker may be reading the user's choice from it.
    const ProfileChoice choice = hand_over(road, decide(road, menu.current, ProfileSender::Name), false);
    if (choice.checkedTitle != menu.current) menu = menu_for(road);  // an unreadable file gave way to "Default"
    road.view.setProfilesMenu(menu.shown ? &menu.items : nullptr);
    show(road, choice);
}

void setCustomCameraProfile(const ProfileMenuRoad& road, const std::string& name, ProfileSender sender) {
    const ProfileChoice choice = hand_over(road, decide(road, name, sender), true);
    // A file outside the folder has no item until the menu lists it.
    if (!choice.checkedTitle.empty() && choice.checkedTitle[0] == '/') {
        const ProfileMenu menu = menu_for(road);
        road.view.setProfilesMenu(menu.shown ? &menu.items : nullptr);
    }
    show(road, choice);
}

}  // namespace dvk
