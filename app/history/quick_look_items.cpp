#include "app/history/quick_look_items.h"

#include <algorithm>
#include <sys/stat.h>

#include "platform/url_opener.h"

namespace dvk {

namespace {

bool isExistingFile(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// `path` with its extension (if any) replaced by `ext`.
std::string withExtension(const std::string& path, const char* ext) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? path.substr(0, dot) : path) + "." + ext;
}

}  // namespace

std::vector<std::string> previewItemsForRecords(const std::vector<PreviewRecordFiles>& records) {
    std::vector<std::string> items;
    auto add = [&](const std::string& path) {
        if (std::find(items.begin(), items.end(), path) == items.end()) items.push_back(path);
    };
    for (const PreviewRecordFiles& r : records) {
        if (isExistingFile(r.destinationFile)) add(r.destinationFile);
        if (!isExistingFile(r.sourceFile)) continue;
        for (const char* ext : {"jpeg", "jpg", "tiff", "tif"}) {
            const std::string sibling = withExtension(r.sourceFile, ext);
            if (sibling != r.sourceFile && isExistingFile(sibling)) add(sibling);
        }
        add(r.sourceFile);
    }
    return items;
}

std::string previewItemUrl(const std::vector<std::string>& items, std::size_t index) {
    return index < items.size() ? fileUrlForPath(items[index]) : std::string();
}

}  // namespace dvk
