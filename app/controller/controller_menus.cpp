// Controller: the "Profiles" menu, the filters and white-balance pop-ups and
// the white-balance preset window, over the window's views of them. The
// rules are the menus' own (profile_menu.h, filter_menu.h, wb_preset_menu.h,
// wb_preset_window.h); this file binds them to the open file's processor,
// the support folder and the apply worker.
#include <mutex>

#include "app/common/alert_function.h"
#include "app/controller/controller.h"
#include "app/menus/filter_menu.h"
#include "app/preview/preview_controller.h"
#include "app/menus/wb_preset_menu.h"
#include "app/menus/wb_preset_window.h"

namespace dvk {

namespace {

// Views that show nothing, for a controller without windows.
struct NoProfileMenu : ProfileMenuView {
    void setProfilesMenu(const MenuItems*) override {}
    void checkProfileItem(const std::string&) override {}
    void setWindowTitle(const std::string&) override {}
};

struct NoFiltersButton : FiltersButtonView {
    void setGeneratedFilterItems(const MenuItems&) override {}
    void selectFilterTag(int) override {}
    long selectedFilterTag() const override { return 0; }
};

struct NoWbButton : WbButtonView {
    void setGeneratedWbItems(const MenuItems&) override {}
    void selectWbTag(int) override {}
    int selectedWbTag() const override { return 0; }
};

}  // namespace

struct Controller::MenusState {
    NoProfileMenu noProfiles;
    NoFiltersButton noFilters;
    NoWbButton noWb;
    MenuViews views;
    std::string filterRoot = kFilterProfileRoot;
    // The exiftool text of the open file, for rebuilding the white-balance
    // pop-up after a preset changed (set on the open thread).
    std::mutex infoMutex;
    std::string cameraInfo;

    ProfileMenuView& profiles() { return views.profiles ? *views.profiles : noProfiles; }
    FiltersButtonView& filters() { return views.filters ? *views.filters : noFilters; }
    WbButtonView& wb() { return views.wb ? *views.wb : noWb; }
};

Controller::MenusState& Controller::menus() const {
    if (!menus_) menus_ = std::make_shared<MenusState>();
    return *menus_;
}

void Controller::setMenuViews(MenuViews views) { menus().views = std::move(views); }

void Controller::setFilterProfileRoot(std::string root) { menus().filterRoot = std::move(root); }

std::string Controller::filterProfileRoot() const { return menus().filterRoot; }

namespace {

ProfileMenuRoad profile_road(Controller& c, RawProcessor& p, ProfileMenuView& view) {
    PreviewController* preview = &c.preview();
    return {p,
            view,
            userProfileFolder(c.applicationSupportFolder()),
            [preview] { return preview->disableAutoApply(); },
            [preview] { preview->apply(ApplySender::none()); },
            programAlert()};
}

}  // namespace

void Controller::createProfileMenu() {
    dvk::createProfileMenu(profile_road(*this, *rawProcessor_, menus().profiles()));
}

void Controller::removeProfileMenu() { menus().profiles().setProfilesMenu(nullptr); }

void Controller::setCustomCameraProfile(const std::string& name, ProfileSender sender) {
    // The choice is handed to the processor, which an apply run may be reading.
    preview_->whenIdle([this, name, sender] {
        dvk::setCustomCameraProfile(profile_road(*this, *rawProcessor_, menus().profiles()), name, sender);
    });
}

void Controller::updateFiltersButton() {
    dvk::updateFiltersButton(*rawProcessor_, menus().filters(), menus().filterRoot);
}

long Controller::selectedFilterTag() const { return menus().filters().selectedFilterTag(); }

void Controller::initWbButton(const std::string& cameraInfo) {
    MenusState& m = menus();
    {
        const std::lock_guard<std::mutex> lock(m.infoMutex);
        m.cameraInfo = cameraInfo;
    }
    dvk::initWbButton(*rawProcessor_, m.wb(), cameraInfo);
}

void Controller::setWBToCustom() { dvk::setWBToCustom(*rawProcessor_); }

void Controller::useAsShotWBisChanged() {
    // Developed again as the pop-up's own change would be (auto-apply off: not).
    preview_->whenIdle([this] {
        dvk::useAsShotWBisChanged(*rawProcessor_, [this] { preview_->apply(ApplySender::control("White balance")); });
    });
}

namespace {

WbPresetWindowRoad preset_road(Controller& c, RawProcessor& p, WbButtonView& wb,
                               const std::function<std::string()>& info,
                               const std::function<void(const std::string&)>& runWindow) {
    return {p, wb, wbPresetsFile(c.applicationSupportFolder()), info, programAlert(), runWindow};
}

}  // namespace

void Controller::showCreateWBPresetWindow(int tag) {
    MenusState& m = menus();
    const auto info = [&m] {
        const std::lock_guard<std::mutex> lock(m.infoMutex);
        return m.cameraInfo;
    };
    if (tag == 100) {
        // The window only reads the processor's camera; its "Ok" waits for an idle worker.
        dvk::showCreateWBPresetWindow(preset_road(*this, *rawProcessor_, m.wb(), info, m.views.runWbPresetWindow), tag);
        return;
    }
    // Deleting may change the white-balance mode: only while no run reads it.
    preview_->whenIdle([this, &m, info, tag] {
        dvk::showCreateWBPresetWindow(preset_road(*this, *rawProcessor_, m.wb(), info, m.views.runWbPresetWindow), tag);
    });
}

void Controller::closeCreateWBPresetWindow(const std::string& buttonTitle, const std::string& typedName,
                                           std::function<void(bool close)> done) {
    preview_->whenIdle([this, buttonTitle, typedName, done = std::move(done)] {
        MenusState& m = menus();
        const auto info = [&m] {
            const std::lock_guard<std::mutex> lock(m.infoMutex);
            return m.cameraInfo;
        };
        const WbPresetWindowAnswer answer = dvk::closeCreateWBPresetWindow(
            preset_road(*this, *rawProcessor_, m.wb(), info, m.views.runWbPresetWindow), buttonTitle, typedName);
        if (done) done(answer == WbPresetWindowAnswer::Close);
    });
}

}  // namespace dvk
