#include "app/batch/batch_journal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "app/batch/batch_crash_note.h"
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

bool get_bool(plist_t dict, const char* key, bool absent) {
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_BOOLEAN) return absent;
    std::uint8_t flag = 0;
    plist_get_bool_val(node, &flag);
    return flag != 0;
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

std::string BatchJournal::markerText(const BatchMarker& m) {
    PlistPtr dict(plist_new_dict());
    plist_dict_set_item(dict.get(), "sourceFile", plist_new_string(m.sourceFile.c_str()));
    plist_dict_set_item(dict.get(), "destinationFile", plist_new_string(m.destinationFile.c_str()));
    set_uint(dict.get(), "remaining", m.remaining);
    plist_dict_set_item(dict.get(), "existed", plist_new_bool(m.before.exists ? 1 : 0));
    set_uint(dict.get(), "device", m.before.device);
    set_uint(dict.get(), "inode", m.before.inode);
    set_uint(dict.get(), "size", m.before.size);
    set_uint(dict.get(), "modified", static_cast<std::uint64_t>(m.before.modified));
    set_uint(dict.get(), "abnormalEnds", m.abnormalEnds);
    plist_dict_set_item(dict.get(), "crashed", plist_new_bool(m.crashed ? 1 : 0));
    plist_dict_set_item(dict.get(), "developing", plist_new_bool(m.developing ? 1 : 0));
    return plist_xml_text(dict.get());
}

bool BatchJournal::writeMarker(const std::string& path, const BatchMarker& m) {
    if (write_file_atomically(path, markerText(m))) return true;
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
    m.before.exists = get_bool(dict, "existed", false);
    m.before.device = get_uint(dict, "device");
    m.before.inode = get_uint(dict, "inode");
    m.before.size = get_uint(dict, "size");
    m.before.modified = static_cast<std::int64_t>(get_uint(dict, "modified"));
    m.abnormalEnds = static_cast<std::size_t>(get_uint(dict, "abnormalEnds"));
    m.crashed = get_bool(dict, "crashed", false);
    // A marker of an earlier version always named the item being developed.
    m.developing = get_bool(dict, "developing", true);
    return m;
}

void BatchJournal::dropMarker(const std::optional<BatchMarker>& marker, bool written) {
    disarmCrashNote();
    if (marker && !written && !marker->destinationFile.empty()) remove_leftovers_of(marker->destinationFile, true);
    remove_file(markerFile_);
    remove_file(crashNoteTemporaryPath(markerFile_));
    remove_leftovers_of(markerFile_, false);
}

void BatchJournal::markDeveloping(const BatchMarker& marker) {
    writeMarker(markerFile_, marker);
    BatchMarker crashed = marker;
    crashed.crashed = true;
    armCrashNote(markerFile_, markerText(crashed));
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
    retried_.clear();
    retriedAbnormalEnds_ = 0;
    if (std::ifstream(markerFile_).good()) {
        const std::optional<BatchMarker> marker = readMarker(markerFile_);
        // The item recover() kept to be tried again, first in this batch.
        if (marker && !marker->developing && items && !items->empty() && items->front() == marker->sourceFile) {
            retried_ = marker->sourceFile;
            retriedAbnormalEnds_ = marker->abnormalEnds;
        }
        dropMarker(marker, false);
    }
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
    currentAbnormalEnds_ = source == retried_ ? retriedAbnormalEnds_ : 0;
    retried_.clear();
    BatchMarker m{source, std::string(), remaining_.size(), FileStamp{}};
    m.abnormalEnds = currentAbnormalEnds_;
    markDeveloping(m);
}

void BatchJournal::beginOutput(const std::string& destination) {
    if (!listed_) return;
    BatchMarker m{current_, destination, remaining_.size(), stampOf(destination)};
    m.abnormalEnds = currentAbnormalEnds_;
    markDeveloping(m);
}

void BatchJournal::itemPostponed() {
    disarmCrashNote();
    if (!listed_ || !std::ifstream(markerFile_).good()) return;
    dropMarker(readMarker(markerFile_), false);
}

void BatchJournal::itemWritten(const std::string& destination) { appendSaved(destination); }

void BatchJournal::itemDone() {
    disarmCrashNote();
    if (!listed_) return;
    if (!remaining_.empty()) remaining_.erase(remaining_.begin());
    writePathList(listFile_, remaining_);
    remove_file(markerFile_);
}

void BatchJournal::finish(bool keep) {
    disarmCrashNote();
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
    const bool itsItem = marker && !list.empty() && list.front() == marker->sourceFile;
    // Kept to be tried again, and not taken up yet (the batch was not
    // confirmed): as it was.
    if (itsItem && !marker->developing) {
        r.pending = std::move(list);
        r.retried = marker->sourceFile;
        return r;
    }
    const bool developed = itsItem && marker->developing && list.size() == marker->remaining;
    bool written = false;
    if (developed && !marker->destinationFile.empty()) {
        const FileStamp now = stampOf(marker->destinationFile);
        written = now.exists && now != marker->before;
    }
    if (!developed) {
        dropMarker(marker, false);
        r.pending = std::move(list);
        return r;
    }
    const std::size_t abnormalEnds = marker->abnormalEnds + 1;
    if (written) {
        log_line("Batch: %s was written to %s before the batch stopped", marker->sourceFile.c_str(),
                 marker->destinationFile.c_str());
        saved_ = readBatchSavedList(savedFile_).value_or(std::vector<std::string>());
        appendSaved(marker->destinationFile);
    } else if (!marker->crashed && abnormalEnds < 2) {
        // Killed from outside, perhaps: once more, with the count.
        log_line("Batch: %s was being developed when the batch ended abnormally: it is tried once more",
                 marker->sourceFile.c_str());
        dropMarker(marker, false);
        BatchMarker again{marker->sourceFile, std::string(), list.size(), FileStamp{}};
        again.abnormalEnds = abnormalEnds;
        again.developing = false;
        writeMarker(markerFile_, again);
        r.retried = marker->sourceFile;
        r.pending = std::move(list);
        return r;
    } else {
        log_line(marker->crashed ? "Batch: the program crashed while developing %s: it is not taken up again"
                                 : "Batch: %s was being developed at two abnormal ends of the batch in a row: it is "
                                   "not taken up again",
                 marker->sourceFile.c_str());
        r.abandoned = marker->sourceFile;
        r.crashed = marker->crashed;
    }
    list.erase(list.begin());
    if (list.empty())
        remove_file(listFile_);
    else
        writePathList(listFile_, list);
    dropMarker(marker, written);
    r.pending = std::move(list);
    return r;
}

void BatchJournal::forget() {
    remove_file(listFile_);
    dropMarker(readMarker(markerFile_), false);
}

}  // namespace dvk
