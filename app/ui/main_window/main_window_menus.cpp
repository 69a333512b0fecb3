#include "app/ui/main_window/main_window_menus.h"

#include <QtGui/QAction>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

#include "app/controller/controller.h"
#include "app/preview/preview_controller.h"
#include "app/ui/main_window/filters_pop_up.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/main_window/profiles_menu.h"
#include "app/ui/windows/profiling_panel.h"
#include "app/ui/main_window/wb_pop_up.h"

namespace dvk {

MainWindowMenus::MainWindowMenus(Controller& controller, MainWindow& window) : controller_(controller) {
    profiles_ = std::make_unique<ProfilesMenu>(*window.menuBar(), window, [&controller](const std::string& title) {
        controller.setCustomCameraProfile(title, ProfileSender::MenuItem);
    });
    filters_ = std::make_unique<FiltersPopUp>(*window.filtersButton());
    wb_ = std::make_unique<WbPopUp>(*window.wbPopUp());
    presetWindow_ = std::make_unique<WbPresetWindow>(
        [&controller](const std::string& title, const std::string& name, std::function<void(bool)> close) {
            controller.closeCreateWBPresetWindow(title, name, std::move(close));
        });
    // A tool window of the main window: it stays in front while the user
    // draws the patches' rectangles on the image behind it.
    panel_ = std::make_unique<ProfilingPanel>(controller, &window);
    // The white-balance pop-up's action: the chosen mode, then useAsShotWBisChanged:.
    PopUpButtonScroller* wbPopUp = window.wbPopUp();
    QObject::disconnect(wbPopUp, &PopUpButtonScroller::tagChosen, &window, nullptr);
    QObject::connect(wbPopUp, &PopUpButtonScroller::tagChosen, &window, [&controller](long tag) {
        controller.preview().setSetting("useCameraWB", SettingsValue(tag));
        controller.useAsShotWBisChanged();
    });

    Controller::MenuViews views;
    views.profiles = profiles_.get();
    views.filters = filters_.get();
    views.wb = wb_.get();
    views.runWbPresetWindow = [this](const std::string& title) { presetWindow_->run(title); };
    controller.setMenuViews(std::move(views));

    QMenu* image = window.imageMenu();
    image->addSeparator();
    createPreset_ = image->addAction(QObject::tr("New WB Preset\u2026"), &window,
                                     [&controller] { controller.showCreateWBPresetWindow(100); });
    createPreset_->setObjectName(QStringLiteral("showCreateWBPresetWindow:"));
    deletePreset_ = image->addAction(QObject::tr("Delete WB Preset"), &window,
                                     [&controller] { controller.showCreateWBPresetWindow(101); });
    deletePreset_->setObjectName(QStringLiteral("deleteWBPreset:"));
    // The rebuild may hand the processor its profile again: not while a run reads it.
    reloadProfiles_ = image->addAction(QObject::tr("Reload Camera Profiles"), &window, [&controller] {
        controller.preview().whenIdle([&controller] { controller.createProfileMenu(); });
    });
    reloadProfiles_->setObjectName(QStringLiteral("createProfileMenu:"));
    showProfiling_ = image->addAction(QObject::tr("Camera Profiling\u2026"), &window,
                                      [&controller] { controller.showProfilingWindow(); });
    showProfiling_->setObjectName(QStringLiteral("showProfilingWindow:"));
}

MainWindowMenus::~MainWindowMenus() {
    // The controller outlives the windows: it shows nothing more.
    controller_.setMenuViews({});
}

}  // namespace dvk
