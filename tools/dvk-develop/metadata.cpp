#include "tools/dvk-develop/metadata.h"

#include <atomic>
#include <cstdio>
#include <libraw/libraw.h>

#include "app/desktop/exiftool.h"
#include "app/menus/filter_menu.h"
#include "app/menus/profile_menu.h"
#include "app/menus/wb_preset_menu.h"
#include "pipeline/load/load_errors.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/folders.h"
#include "tools/common/own_line.h"

namespace dvk::develop {

int exif_file(const std::string& path) {
    const std::optional<std::string> info = runExifToolForInfo(path);
    if (!info) {
        tools::tool_print(stderr, "%s: exiftool gave no information\n", path.c_str());
        return 1;
    }
    tools::tool_print(stdout, "%s", info->c_str());
    return 0;
}

int menus_file(const std::string& path) {
    RawProcessor p;
    const int rc = p.initFloatPreviewFromRawFile(path);
    if (rc != 0) {
        tools::tool_print(stderr, "%s\n", load_error_text(path, rc).c_str());
        return 1;
    }
    const std::string info = runExifToolForInfo(path).value_or(std::string());
    p.setUseCameraWB(p.useCameraWB());

    const ProfileMenu profiles = profileMenuContents(
        profileMenuInputs(p.dvklib(), p.customRawProfile(), userProfileFolder(applicationSupportFolder())));
    if (profiles.shown) {
        for (std::size_t i = 0; i < profiles.items.size(); ++i)
            if (profiles.items[i].kind != MenuItemKind::Separator)
                tools::tool_print(stdout, "profiles\t%zu\t%s\n", i, profiles.items[i].title.c_str());
    }
    // Each pop-up whole, as the window fills it: its fixed items, then those
    // made for this file and this computer.
    MenuItems filters = filterFixedItems();
    for (MenuItem& item : filterGeneratedItems(scanFilterProfiles())) filters.push_back(std::move(item));
    for (const MenuItem& item : filters)
        if (item.kind == MenuItemKind::Choice)
            tools::tool_print(stdout, "filters\t%d\t%s\n", item.tag, item.title.c_str());
    for (const MenuItem& item : wbFixedItems())
        tools::tool_print(stdout, "wb\t%d\t%s\n", item.tag, item.title.c_str());
    const WbPresetMenu wb = wbPresetMenuContents(p.camera(), p.wbPresets(), libRawWbCoeffs(p.dvklib()), info);
    for (const MenuItem& item : wb.items) {
        if (item.kind != MenuItemKind::Choice) continue;
        const bool user = item.tag < kWbVendorTagBase;
        const WhiteBalancePresetList& list = user ? p.wbPresets() : wb.vendorPresets;
        const WhiteBalancePresets& preset =
            list[static_cast<std::size_t>(item.tag - (user ? kWbUserTagBase : kWbVendorTagBase))];
        tools::tool_print(stdout, "wb\t%d\t%s\t%.4f %.4f %.4f %.4f\n", item.tag, item.title.c_str(), preset.red,
                          preset.green, preset.blue, preset.green2);
    }
    std::fflush(stdout);
    return 0;
}

bool copy_tags_after_save(const RawProcessor& processor) {
    std::atomic<int> childs{0};
    const TagCopyRequest request = makeTagCopyRequest(processor, processor.destinationFile());
    if (runExifToolToCopyTags(request, childs)) return true;
    tools::tool_print(stderr, "%s: copying the tags of %s failed\n", request.ofname.c_str(), request.fileName.c_str());
    return false;
}

}  // namespace dvk::develop
