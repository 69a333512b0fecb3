#include "app/menus/wb_preset_menu.h"

#include "pipeline/processor/raw_processor.h"
#include "platform/dispatch.h"

namespace dvk {

MenuItems wbUserPresetItems(const std::string& camera, const WhiteBalancePresetList& user) {
    MenuItems items;
    for (std::size_t i = 0; i < user.size() && i < static_cast<std::size_t>(kWbMaxUserPresets); ++i)
        if (user[i].camera == camera)
            items.push_back(MenuItem::choice(user[i].presetName, kWbUserTagBase + static_cast<int>(i)));
    if (!items.empty()) {
        items.insert(items.begin(), {MenuItem::separator(), MenuItem::header("User Defined")});
    }
    return items;
}

MenuItems wbVendorPresetItems(const std::string& camera, const WhiteBalancePresetList& vendor) {
    MenuItems items;
    for (std::size_t i = 0; i < vendor.size(); ++i)
        if (vendor[i].camera == camera)
            items.push_back(MenuItem::choice(vendor[i].presetName, kWbVendorTagBase + static_cast<int>(i)));
    if (!items.empty()) items.insert(items.begin(), {MenuItem::separator(), MenuItem::header(camera)});
    return items;
}

WbPresetMenu wbPresetMenuContents(const std::string& camera, const WhiteBalancePresetList& user,
                                  const LibRawWbCoeffs* coeffs, const std::string& cameraInfo) {
    WbPresetMenu menu;
    menu.items = wbUserPresetItems(camera, user);
    if (coeffs) menu.vendorPresets = vendorPresetsFromLibRaw(camera, *coeffs);
    menu.source = VendorWbSource::LibRaw;
    if (menu.vendorPresets.empty()) {
        menu.vendorPresets = vendorPresetsFromBuiltinTable(camera);
        menu.source = VendorWbSource::BuiltinTable;
    }
    MenuItems vendor = wbVendorPresetItems(camera, menu.vendorPresets);
    if (vendor.empty()) {
        menu.vendorPresets = vendorPresetsFromCameraInfo(camera, cameraInfo);
        menu.source = VendorWbSource::CameraInfo;
        vendor = wbVendorPresetItems(camera, menu.vendorPresets);
    }
    if (menu.vendorPresets.empty()) menu.source = VendorWbSource::None;
    menu.items.insert(menu.items.end(), vendor.begin(), vendor.end());
    return menu;
}

MenuItems wbFixedItems() {
    return {MenuItem::choice("As Shot", 2), MenuItem::choice("Auto", 1), MenuItem::choice("Neutral", 3),
            MenuItem::choice("Custom", 0)};
}

void initWbButton(RawProcessor& processor, WbButtonView& view, const std::string& cameraInfo) {
    WbPresetMenu menu = wbPresetMenuContents(processor.camera(), processor.wbPresets(),
                                             libRawWbCoeffs(processor.dvklib()), cameraInfo);
    processor.vendorsWBPresets() = std::move(menu.vendorPresets);
    runOnMainQueue([&view, items = std::move(menu.items)] { view.setGeneratedWbItems(items); });
}

void useAsShotWBisChanged(RawProcessor& processor, const std::function<void()>& apply) {
    processor.setUseCameraWB(processor.useCameraWB());
    if (processor.useCameraWB() >= 1 && apply) apply();
}

void setWBToCustom(RawProcessor& processor) { processor.setUseCameraWB(0); }

}  // namespace dvk
