// The tag copies a batch has started and that have not ended, kept on disk
// so that copies cut off by a kill are run again at the next launch:
//
//   "DVKBatchTags_<program>.xml"   XML property list, one array of
//                                  dictionaries (fileName, ofname, make)
//
// An entry is written before its copy starts and taken out when the copy has
// ended, however it ended; the file goes with its last entry. Each change
// replaces the file whole. Safe to use from several threads.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "app/desktop/exiftool.h"

namespace dvk {

class TagCopyLedger {
public:
    explicit TagCopyLedger(std::string path);

    void started(const TagCopyRequest& request);
    // The first entry for the written file `ofname` is taken out.
    void ended(const std::string& ofname);
    // The entries on disk: at a launch, the copies a kill cut off.
    std::vector<TagCopyRequest> entries() const;
    // Before a copy is run again: what a killed exiftool left beside the
    // written file (it refuses to write while that is there).
    static void removeLeftoverOf(const std::string& ofname);

    const std::string& path() const { return path_; }

private:
    std::vector<TagCopyRequest> read() const;  // mutex_ held
    void write(const std::vector<TagCopyRequest>& entries) const;

    std::string path_;
    mutable std::mutex mutex_;
};

}  // namespace dvk
