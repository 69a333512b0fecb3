#include "app/batch/tag_copy_ledger.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "pipeline/settings/plist_node.h"
#include "pipeline/settings/settings_file.h"
#include "platform/log.h"

namespace dvk {

TagCopyLedger::TagCopyLedger(std::string path) : path_(std::move(path)) {}

std::vector<TagCopyRequest> TagCopyLedger::read() const {
    std::vector<TagCopyRequest> out;
    const std::optional<std::string> bytes = read_file_bytes(path_);
    if (!bytes) return out;
    PlistPtr root = plist_parse(*bytes);
    if (!root || plist_get_node_type(root.get()) != PLIST_ARRAY) {
        log_line("Can't read the tag copies in %s", path_.c_str());
        return out;
    }
    for (std::uint32_t i = 0; i < plist_array_get_size(root.get()); ++i) {
        plist_t item = plist_array_get_item(root.get(), i);
        if (!item || plist_get_node_type(item) != PLIST_DICT) continue;
        bool okFile = false, okOutput = false, okMake = false;
        TagCopyRequest r;
        r.fileName = plist_string(plist_dict_get_item(item, "fileName"), &okFile);
        r.ofname = plist_string(plist_dict_get_item(item, "ofname"), &okOutput);
        r.make = plist_string(plist_dict_get_item(item, "make"), &okMake);
        if (okFile && okOutput && !r.fileName.empty() && !r.ofname.empty()) out.push_back(std::move(r));
    }
    return out;
}

void TagCopyLedger::write(const std::vector<TagCopyRequest>& entries) const {
    if (entries.empty()) {
        if (::unlink(path_.c_str()) != 0 && errno != ENOENT)
            log_line("Can't remove %s: %s", path_.c_str(), std::strerror(errno));
        return;
    }
    PlistPtr array(plist_new_array());
    for (const TagCopyRequest& r : entries) {
        plist_t dict = plist_new_dict();
        plist_dict_set_item(dict, "fileName", plist_new_string(r.fileName.c_str()));
        plist_dict_set_item(dict, "ofname", plist_new_string(r.ofname.c_str()));
        plist_dict_set_item(dict, "make", plist_new_string(r.make.c_str()));
        plist_array_append_item(array.get(), dict);
    }
    if (!write_file_atomically(path_, plist_xml_text(array.get())))
        log_line("Can't write %s: %s", path_.c_str(), std::strerror(errno));
}

void TagCopyLedger::started(const TagCopyRequest& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<TagCopyRequest> entries = read();
    entries.push_back(request);
    write(entries);
}

void TagCopyLedger::ended(const std::string& ofname) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<TagCopyRequest> entries = read();
    const auto it =
        std::find_if(entries.begin(), entries.end(), [&](const TagCopyRequest& r) { return r.ofname == ofname; });
    if (it == entries.end()) return;
    entries.erase(it);
    write(entries);
}

std::vector<TagCopyRequest> TagCopyLedger::entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return read();
}

void TagCopyLedger::removeLeftoverOf(const std::string& ofname) {
    const std::string leftover = ofname + "_exiftool_tmp";
    struct stat st {};
    if (::lstat(leftover.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    if (::unlink(leftover.c_str()) == 0)
        log_line("Removed %s, left by a tag copy that was cut off", leftover.c_str());
    else
        log_line("Can't remove %s: %s", leftover.c_str(), std::strerror(errno));
}

}  // namespace dvk
