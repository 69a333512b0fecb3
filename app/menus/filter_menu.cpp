#include "app/menus/filter_menu.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/stages/filters.h"
#include "pipeline/settings/undo_manager.h"
#include "platform/dispatch.h"
#include "platform/log.h"

namespace dvk {

namespace {

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool is_own_readable(const struct stat& st) {
    return S_ISREG(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & S_IRUSR) != 0;
}

// The folder at `path`, opened without following a link at its last step
// (the root may be a link: it is the caller's choice).
DirHandle open_folder(const std::string& path, bool is_root) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (is_root ? 0 : O_NOFOLLOW);
    const int fd = open(path.c_str(), flags);
    if (fd < 0) return nullptr;
    DIR* dir = fdopendir(fd);
    if (!dir) close(fd);
    return DirHandle(dir);
}

}  // namespace

bool isOwnReadableFile(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && is_own_readable(st) && access(path.c_str(), R_OK) == 0;
}

std::vector<std::string> findUplab2labProfiles(const std::string& root, const FilterWalkLimits& limits) {
    std::vector<std::string> found;
    struct Pending {
        std::string relative;  // "" for the root, else "a/b"
        int level;             // the root is 1
    };
    std::deque<Pending> folders{{std::string(), 1}};
    std::size_t entries = 0;
    while (!folders.empty() && entries < limits.maxEntries) {
        const Pending folder = std::move(folders.front());
        folders.pop_front();
        const std::string path = folder.relative.empty() ? root : root + "/" + folder.relative;
        DirHandle dir = open_folder(path, folder.relative.empty());
        if (!dir) continue;
        std::vector<std::string> names;
        while (const dirent* e = readdir(dir.get())) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            if (entries++ >= limits.maxEntries) break;
            names.emplace_back(e->d_name);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            struct stat st;
            if (fstatat(dirfd(dir.get()), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            std::string relative = folder.relative.empty() ? name : folder.relative + "/" + name;
            if (S_ISDIR(st.st_mode)) {
                if (folder.level < limits.folderLevels) folders.push_back({std::move(relative), folder.level + 1});
            } else if (is_own_readable(st) && strcasestr(relative.c_str(), "uplab2lab") != nullptr) {
                found.push_back(std::move(relative));
            }
        }
    }
    return found;
}

FilterProfileScan scanFilterProfiles(const std::string& root) {
    FilterProfileScan scan;
    scan.customBetaRGB = isOwnReadableFile(root + "/BetaRGBCustom.icc");
    scan.customAdobeRGB = isOwnReadableFile(root + "/AdobeRGBCustom.icc");
    scan.uplab2lab = findUplab2labProfiles(root);
    return scan;
}

MenuItems filterFixedItems() {
    MenuItems items;
    for (int code : {0, 1, 2, 3, 4, 6, 7, 8, 10, 11, 14, 15, 16, 22})
        items.push_back(MenuItem::choice(filter_name_for_code(code, {}), code));
    items.push_back(MenuItem::separator());
    for (int code = 1000; code <= 1010; ++code) items.push_back(MenuItem::choice(filter_name_for_code(code, {}), code));
    return items;
}

MenuItems filterGeneratedItems(const FilterProfileScan& scan) {
    MenuItems items;
    if (scan.customBetaRGB) items.push_back(MenuItem::choice("Custom BetaRGB", 99));
    if (scan.customAdobeRGB) items.push_back(MenuItem::choice("Custom AdobeRGB", 100));
    for (std::size_t i = 0; i < scan.uplab2lab.size(); ++i)
        items.push_back(MenuItem::choice(scan.uplab2lab[i], 2000 + static_cast<int>(i)));
    return items;
}

namespace {

// The filter set by the program, not by the user: no undo step.
void set_filter_quietly(RawProcessor& processor, int code) {
    std::shared_ptr<UndoManager> undo = processor.undoManager();
    processor.setUndoManager(nullptr);
    processor.setBwMode(code);
    processor.setUndoManager(std::move(undo));
}

void drop_filter(RawProcessor& processor, const std::string& name, const std::string& file) {
    log_line("Filter \"%s\": its profile %s is gone, no filter is applied", name.c_str(), file.c_str());
    set_filter_quietly(processor, 0);
}

}  // namespace

std::string filterProfileFile(int code, const std::vector<std::string>& uplab2lab, const std::string& root) {
    if (code == 99) return root + "/BetaRGBCustom.icc";
    if (code == 100) return root + "/AdobeRGBCustom.icc";
    if (code >= 2000 && static_cast<std::size_t>(code - 2000) < uplab2lab.size())
        return root + "/" + uplab2lab[static_cast<std::size_t>(code - 2000)];
    return std::string();
}

bool dropVanishedFilter(RawProcessor& processor, const std::string& root) {
    const int code = processor.bwMode();
    if (code != 99 && code != 100 && code < 2000) return false;
    const std::string file = filterProfileFile(code, processor.uplab2labProfiles(), root);
    if (!file.empty() && isOwnReadableFile(file)) return false;
    drop_filter(processor, processor.filterName(), file.empty() ? std::string("file") : file);
    return true;
}

void updateFiltersButton(RawProcessor& processor, FiltersButtonView& view, const std::string& root) {
    FilterProfileScan scan = scanFilterProfiles(root);
    MenuItems items = filterGeneratedItems(scan);
    runOnMainQueue([&processor, &view, root, items = std::move(items), list = std::move(scan.uplab2lab)]() mutable {
        view.setGeneratedFilterItems(items);
        // A file's look is held by its name, whatever number the new list
        // gives it (a number the old list did not cover has no name to hold).
        const int code = processor.bwMode();
        const bool named = code >= 2000 && static_cast<std::size_t>(code - 2000) < processor.uplab2labProfiles().size();
        const std::string held = processor.filterName();
        processor.setUplab2labProfiles(std::move(list));
        if (named) {
            const int now = filter_code_for_name(held, processor.uplab2labProfiles());
            if (now < 2000)
                drop_filter(processor, held, root + "/" + held);
            else if (now != code)
                set_filter_quietly(processor, now);
        }
        dropVanishedFilter(processor, root);
        view.selectFilterTag(processor.bwMode());
    });
}

}  // namespace dvk
