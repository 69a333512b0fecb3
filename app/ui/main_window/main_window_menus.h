// The main window's camera-profile menu, filters and white-balance pop-ups,
// the white-balance preset window and the camera-profiling panel, bound to
// the controller: made with the main window (before its set-up), they are
// the controller's views of those menus and hand it the user's choices.
// The Image menu gets "New WB Preset…", "Delete WB Preset", "Reload Camera
// Profiles" and "Camera Profiling…". The white-balance pop-up's choice goes
// through useAsShotWBisChanged:.
#pragma once

#include <memory>

class QAction;

namespace dvk {

class Controller;
class FiltersPopUp;
class MainWindow;
class ProfilesMenu;
class ProfilingPanel;
class WbPopUp;
class WbPresetWindow;

class MainWindowMenus {
public:
    MainWindowMenus(Controller& controller, MainWindow& window);
    ~MainWindowMenus();
    MainWindowMenus(const MainWindowMenus&) = delete;
    MainWindowMenus& operator=(const MainWindowMenus&) = delete;

    ProfilesMenu& profilesMenu() { return *profiles_; }
    WbPresetWindow& wbPresetWindow() { return *presetWindow_; }
    ProfilingPanel& profilingPanel() { return *panel_; }
    // The Image menu's items; each carries its own action name, as
    // DVK_DEV_ACTIONS reaches them ("showCreateWBPresetWindow:" of New WB
    // Preset…, "deleteWBPreset:" of Delete WB Preset, "createProfileMenu:",
    // "showProfilingWindow:").
    QAction* createWbPresetAction() const { return createPreset_; }
    QAction* deleteWbPresetAction() const { return deletePreset_; }
    QAction* createProfileMenuAction() const { return reloadProfiles_; }
    QAction* showProfilingWindowAction() const { return showProfiling_; }

private:
    Controller& controller_;
    std::unique_ptr<ProfilesMenu> profiles_;
    std::unique_ptr<FiltersPopUp> filters_;
    std::unique_ptr<WbPopUp> wb_;
    std::unique_ptr<WbPresetWindow> presetWindow_;
    std::unique_ptr<ProfilingPanel> panel_;
    QAction *createPreset_ = nullptr, *deletePreset_ = nullptr, *reloadProfiles_ = nullptr, *showProfiling_ = nullptr;
};

}  // namespace dvk
