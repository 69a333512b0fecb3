#include "app/batch/batch_journal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "app/batch/batch_export.h"
#include "pipeline/settings/plist_node.h"
#include "pipeline/settings/settings_file.h"
#include "pipeline/writers/safe_output.h"
#include "platform/log.h"

namespace dvk {

namespace {

void remove_file(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        log_line("Can't remove %s: %s", path.c_str(), std::strerror(errno));
}

// What a write by replacement of `path` left when its process was killed.
void remove_leftovers_of(const std::string& path, bool hidden) {
    for (const std::string& p : leftover_temporary_files(path, hidden)) remove_file(p);
}

std::string read_whole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string();
}

void set_uint(plist_t dict, const char* key, std::uint64_t value) {
    plist_dict_set_item(dict, key, plist_new_uint(value));
}

std::uint64_t get_uint(plist_t dict, const char* key) {
    plist_t node = plist_dict_get_item(dict, key);
    std::uint64_t value = 0;
    if (node && plist_get_node_type(node) == PLIST_UINT) plist_get_uint_val(node, &value);
    return value;
}

}  // namespace

FileStamp stampOf(const std::string& path) {
    struct stat st {};
    FileStamp s;
    if (::stat(path.c_str(), &st) != 0) return s;
    s.exists = true;
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

BatchJournal::BatchJournal(std::string listFile, std::string savedFile, std::string markerFile)
    : listFile_(std::move(listFile)), savedFile_(std::move(savedFile)), markerFile_(std::move(markerFile)) {}

bool BatchJournal::writePathList(const std::string& path, const std::vector<std::string>& paths) {
    PlistPtr array(plist_new_array());
    for (const std::string& p : paths) plist_array_append_item(array.get(), plist_new_string(p.c_str()));
    if (write_file_atomically(path, plist_xml_text(array.get()))) return true;
    log_line("Can't write %s: %s", path.c_str(), std::strerror(errno));
    return false;
}

bool BatchJournal::writeMarker(const std::string& path, const BatchMarker& m) {
    PlistPtr dict(plist_new_dict());
    plist_dict_set_item(dict.get(), "sourceFile", plist_new_string(m.sourceFile.c_str()));
    plist_dict_set_item(dict.get(), "destinationFile", plist_new_string(m.destinationFile.c_str()));
    set_uint(dict.get(), "remaining", m.remaining);
    plist_dict_set_item(dict.get(), "existed", plist_new_bool(m.before.exists ? 1 : 0));
    set_uint(dict.get(), "device", m.before.device);
    set_uint(dict.get(), "inode", m.before.inode);
    set_uint(dict.get(), "size", m.before.size);
    set_uint(dict.get(), "modified", static_cast<std::uint64_t>(m.before.modified));
    if (write_file_atomically(path, plist_xml_text(dict.get()))) return true;
    log_line("Can't write %s: %s", path.c_str(), std::strerror(errno));
    return false;
}

std::optional<BatchMarker> BatchJournal::readMarker(const std::string& path) {
    PlistPtr root = plist_parse(read_whole(path));
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;
    plist_t dict = root.get();
    BatchMarker m;
    bool okSource = false, okDestination = false;
    m.sourceFile = plist_string(plist_dict_get_item(dict, "sourceFile"), &okSource);
    m.destinationFile = plist_string(plist_dict_get_item(dict, "destinationFile"), &okDestination);
    if (!okSource || !okDestination) return std::nullopt;
    m.remaining = static_cast<std::size_t>(get_uint(dict, "remaining"));
    plist_t existed = plist_dict_get_item(dict, "existed");
    std::uint8_t flag = 0;
    if (existed && plist_get_node_type(existed) == PLIST_BOOLEAN) plist_get_bool_val(existed, &flag);
    m.before.exists = flag != 0;
    m.before.device = get_uint(dict, "device");
    m.before.inode = get_uint(dict, "inode");
    m.before.size = get_uint(dict, "size");
    m.before.modified = static_cast<std::int64_t>(get_uint(dict, "modified"));
    return m;
}

void BatchJournal::dropMarker(const std::optional<BatchMarker>& marker, bool written) {
    if (marker && !written && !marker->destinationFile.empty()) remove_leftovers_of(marker->destinationFile, true);
    remove_file(markerFile_);
    remove_leftovers_of(markerFile_, false);
}

void BatchJournal::appendSaved(const std::string& destination) {
    if (std::find(saved_.begin(), saved_.end(), destination) != saved_.end()) return;
    saved_.push_back(destination);
    writePathList(savedFile_, saved_);
}

void BatchJournal::start(const std::optional<std::vector<std::string>>& items) {
    saved_ = readBatchSavedList(savedFile_).value_or(std::vector<std::string>());
    remove_leftovers_of(savedFile_, false);
    remove_leftovers_of(listFile_, false);
    if (std::ifstream(markerFile_).good()) dropMarker(readMarker(markerFile_), false);
    listed_ = items.has_value();
    remaining_ = items.value_or(std::vector<std::string>());
    if (listed_)
        writePathList(listFile_, remaining_);
    else
        remove_file(listFile_);
}

void BatchJournal::beginItem(const std::string& source) {
    if (!listed_) return;
    current_ = source;
    writeMarker(markerFile_, {source, std::string(), remaining_.size(), FileStamp{}});
}

void BatchJournal::beginOutput(const std::string& destination) {
    if (!listed_) return;
    writeMarker(markerFile_, {current_, destination, remaining_.size(), stampOf(destination)});
}

void BatchJournal::itemPostponed() {
    if (!listed_ || !std::ifstream(markerFile_).good()) return;
    dropMarker(readMarker(markerFile_), false);
}

void BatchJournal::itemWritten(const std::string& destination) { appendSaved(destination); }

void BatchJournal::itemDone() {
    if (!listed_) return;
    if (!remaining_.empty()) remaining_.erase(remaining_.begin());
    writePathList(listFile_, remaining_);
    remove_file(markerFile_);
}

void BatchJournal::finish(bool keep) {
    if (keep) return;
    remove_file(listFile_);
    remove_file(markerFile_);
}

BatchJournal::Recovery BatchJournal::recover(std::vector<std::string> list) {
    Recovery r;
    if (!std::ifstream(markerFile_).good()) {
        r.pending = std::move(list);
        return r;
    }
    std::optional<BatchMarker> marker = readMarker(markerFile_);
    const bool itsItem =
        marker && !list.empty() && list.front() == marker->sourceFile && list.size() == marker->remaining;
    bool written = false;
    if (itsItem && !marker->destinationFile.empty()) {
        const FileStamp now = stampOf(marker->destinationFile);
        written = now.exists && now != marker->before;
    }
    if (itsItem) {
        if (written) {
            log_line("Batch: %s was written to %s before the batch stopped", marker->sourceFile.c_str(),
                     marker->destinationFile.c_str());
            saved_ = readBatchSavedList(savedFile_).value_or(std::vector<std::string>());
            appendSaved(marker->destinationFile);
        } else {
            log_line("Batch: %s was being developed when the batch ended abnormally: it is not taken up again",
                     marker->sourceFile.c_str());
            r.abandoned = marker->sourceFile;
        }
        list.erase(list.begin());
        if (list.empty())
            remove_file(listFile_);
        else
            writePathList(listFile_, list);
    }
    dropMarker(marker, written);
    r.pending = std::move(list);
    return r;
}

void BatchJournal::forget() {
    remove_file(listFile_);
    dropMarker(readMarker(markerFile_), false);
}

}  // namespace dvk
