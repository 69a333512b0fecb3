// The white-balance pop-up's generated items: after its four fixed items,
// the user's presets for the open camera and the camera vendor's presets.
//
//   separator, header "User Defined", user preset i    tag 1000 + i (of wbPresets)
//   separator, header <camera>, vendor preset i        tag 5000 + i (of vendorsWBPresets)
//
// Each part appears only when it has presets. Headers run `blah`. Vendor
// presets come from the decoder's table, else the built-in table, else the
// exiftool text (wb_vendor_presets.h).
#pragma once

#include <functional>
#include <string>

#include "app/menus/menu_item.h"
#include "app/menus/wb_vendor_presets.h"

namespace dvk {

class RawProcessor;

inline constexpr int kWbFixedItemCount = 4;
inline constexpr int kWbUserTagBase = 1000;
inline constexpr int kWbVendorTagBase = 5000;
inline constexpr int kWbMaxUserPresets = kWbVendorTagBase - kWbUserTagBase;

enum class VendorWbSource { None, LibRaw, BuiltinTable, CameraInfo };

struct WbPresetMenu {
    WhiteBalancePresetList vendorPresets;  // the processor's new vendorsWBPresets
    VendorWbSource source = VendorWbSource::None;
    MenuItems items;                       // from position 4 of the pop-up on
};

// The pop-up's four fixed items: the modes as shot (2), auto (1), neutral (3)
// and the user's own values (0, "Custom").
MenuItems wbFixedItems();

// The user part: presets of `camera` among `user`, by their index in `user`.
MenuItems wbUserPresetItems(const std::string& camera, const WhiteBalancePresetList& user);
// The vendor part.
MenuItems wbVendorPresetItems(const std::string& camera, const WhiteBalancePresetList& vendor);

// initWbButton's decision: `coeffs` may be null (no decoder table).
WbPresetMenu wbPresetMenuContents(const std::string& camera, const WhiteBalancePresetList& user,
                                  const LibRawWbCoeffs* coeffs, const std::string& cameraInfo);

// What the window does for the white-balance pop-up.
class WbButtonView {
public:
    virtual ~WbButtonView() = default;
    // Replaces every item from position 4 on by `items`.
    virtual void setGeneratedWbItems(const MenuItems& items) = 0;
    virtual void selectWbTag(int tag) = 0;
    virtual int selectedWbTag() const = 0;
};

// initWbButton: decides on the calling thread (the open thread, or the main
// thread) and stores the vendor presets in the processor there, so that a
// preset mode applied next finds them; the items change on the main queue.
// `view` must outlive the queued task. `cameraInfo` is the exiftool text.
void initWbButton(RawProcessor& processor, WbButtonView& view, const std::string& cameraInfo);

// useAsShotWBisChanged: applies the current mode again; re-applies the image
// (`apply`) when the mode is 1 or more.
void useAsShotWBisChanged(RawProcessor& processor, const std::function<void()>& apply);
// setWBToCustom: mode 0 (manual).
void setWBToCustom(RawProcessor& processor);

}  // namespace dvk
