// The generated items of the filters pop-up: profiles that other tools leave
// in the temporary folder.
//
//   99          "Custom BetaRGB"   while <root>/BetaRGBCustom.icc is ours and readable
//   100         "Custom AdobeRGB"  while <root>/AdobeRGBCustom.icc is
//   2000 + i    every file below <root> whose relative path holds
//               "uplab2lab" (any case), titled by that path; the same paths
//               in the same order are the processor's uplab2labProfiles
//
// The folder is shared with every local user, so the walk is bounded and
// trusts nothing: breadth first, the root and two levels of folders below it,
// at most 10 000 entries, no link followed, only real folders entered, and
// only regular files owned by the current user offered. Entries of a folder
// are taken in name order, so the numbering stays put from one walk to the
// next while the files do.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/menus/menu_item.h"

namespace dvk {

class RawProcessor;

inline constexpr const char* kFilterProfileRoot = "/tmp";

struct FilterWalkLimits {
    int folderLevels = 3;          // the root counts as one
    std::size_t maxEntries = 10000;
};

// Relative paths (no leading '/') of the uplab2lab files below `root`.
std::vector<std::string> findUplab2labProfiles(const std::string& root, const FilterWalkLimits& limits = {});

// A regular file (not a link) owned by the current user and readable by them.
bool isOwnReadableFile(const std::string& path);

struct FilterProfileScan {
    bool customBetaRGB = false;   // tag 99
    bool customAdobeRGB = false;  // tag 100
    std::vector<std::string> uplab2lab;
};

// The walk and the two custom-file checks; runs on the calling thread.
FilterProfileScan scanFilterProfiles(const std::string& root = kFilterProfileRoot);

// The generated items in pop-up order: 99, 100, then 2000 + i.
MenuItems filterGeneratedItems(const FilterProfileScan& scan);

// The pop-up's fixed items: the colour and film filters by code ("Color"
// first, the Lab looks after a separator); "Red-o-Green" is no look of its
// own and is not offered.
MenuItems filterFixedItems();

// What the window does for the filters pop-up.
class FiltersButtonView {
public:
    virtual ~FiltersButtonView() = default;
    // Replaces the items tagged 99, 100 and 2000 or more by `items` (after the
    // fixed items of the window).
    virtual void setGeneratedFilterItems(const MenuItems& items) = 0;
    virtual void selectFilterTag(int tag) = 0;
    virtual long selectedFilterTag() const = 0;
};

// The file below `root` that filter `code` reads its profile from ("" for
// no filter and the built-in looks): 99 and 100 the custom files, 2000 + i
// entry i of `uplab2lab`.
std::string filterProfileFile(int code, const std::vector<std::string>& uplab2lab,
                              const std::string& root = kFilterProfileRoot);

// A filter whose file is gone (or no longer one the pop-up would offer)
// gives way to "Color", logged and without an undo step, so that the develop
// and the pop-up agree; true when it did. The controller calls it before each
// run and each save.
bool dropVanishedFilter(RawProcessor& processor, const std::string& root = kFilterProfileRoot);

// updateFiltersButton: walks on the calling thread (the apply worker, or the
// main thread at window set-up); then, on the main queue, sets the items,
// swaps the processor's uplab2labProfiles for the new list in one assignment,
// keeps its filter by name (a file's look keeps its file when the numbering
// moves; a vanished file's gives way as dropVanishedFilter says) and selects
// the processor's bwMode. `processor` and `view` must outlive the queued task
// (the controller's own).
void updateFiltersButton(RawProcessor& processor, FiltersButtonView& view,
                         const std::string& root = kFilterProfileRoot);

}  // namespace dvk
