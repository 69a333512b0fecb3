// The files that let a batch survive anything, a kill included: the list of
// the items still to do, the list of the files batches wrote, and a marker of
// the item being developed.
//
//   list file    "DVKBatchList_<program>.xml"   XML property list, one array of
//                                               paths: the items not yet done
//   saved file   "DVKBatchSaved_<program>.xml"  one array of paths: every file
//                                               written, each path once
//   marker file  "DVKBatchMark_<program>.xml"   a dictionary: the item being
//                                               developed, and its output
//
// Each file is replaced whole (written to a temporary name, then renamed), and
// one item goes through them in this order:
//   1. beginItem: the marker names the item, before it is loaded;
//   2. beginOutput: the marker names its output path too, and what was at
//      that path before (nothing, or a file's identity);
//   3. the output is written to a temporary file and renamed into place;
//   4. itemWritten: the output joins the saved list;
//   5. itemDone: the list is rewritten without the item, then the marker goes.
// A batch that stops in an orderly way (cancelled, postponed, quit) finishes
// its item or takes the marker back first (itemPostponed). Stopped at any
// other instant (killed, crashed), the files say what happened: an item still
// first in the list whose marker finds a new file at its output path was
// written, and recover() completes steps 4 and 5 for it instead of converting
// it again. An item whose marker finds no new output ended the batch while it
// was developed: a kill, a power cut or the out-of-memory killer may have
// ended it, so the resumed batch tries it once more; it is dropped (to be
// named) when it was being developed at two abnormal ends in a row, or when
// the program noted a crash on it (the marker is rewritten by the crash,
// batch_crash_note.h), so that a file that crashes the program is not taken
// up again and again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dvk {

// What is at a path: nothing, or a file's identity (device, inode,
// modification time in nanoseconds, size). Two stamps differ when the file was
// replaced or rewritten.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp stampOf(const std::string& path);

// The marker of an item being developed, or (developing false) of one to be
// tried again after an abnormal end, before the resumed batch takes it up.
struct BatchMarker {
    std::string sourceFile;
    std::string destinationFile;  // "" until its output is chosen
    std::size_t remaining = 0;  // items in the list file when it was written
    FileStamp before;           // what was at destinationFile then
    // Abnormal ends in a row at which the item was being developed, before
    // this try.
    std::size_t abnormalEnds = 0;
    bool crashed = false;    // the program crashed while developing it
    bool developing = true;  // written by beginItem or beginOutput
};

class BatchJournal {
public:
    BatchJournal(std::string listFile, std::string savedFile, std::string markerFile);

    // A batch begins: the saved list is read (empty when missing or
    // unreadable) and a marker left over from an earlier batch is dropped with
    // its output's temporary file (the count of abnormal ends of an item to
    // be tried again is kept for it when it comes first). With `items` (a
    // batch of paths) the list file is written with them; without (a batch
    // that cannot be written down, of history records) an older list file is
    // removed.
    void start(const std::optional<std::vector<std::string>>& items);
    // Step 1 for the first item (only when the list is written down); a
    // crash from then until the item is done or postponed is noted in the
    // marker.
    void beginItem(const std::string& source);
    // Step 2: its output path.
    void beginOutput(const std::string& destination);
    // Step 4: `destination` joins the saved list (unless there) and the saved
    // file is rewritten.
    void itemWritten(const std::string& destination);
    // Step 5: the first item is done (written, or skipped).
    void itemDone();
    // The first item stays to be tried again when the batch is resumed (it
    // could not be written, or memory ran out): its marker goes, with what
    // an unfinished output left.
    void itemPostponed();
    // The end of the batch: the list file and the marker are removed, unless
    // the batch is kept to be resumed (postponed, or stopped by quitting).
    void finish(bool keep);

    const std::vector<std::string>& saved() const { return saved_; }
    const std::vector<std::string>& remaining() const { return remaining_; }

    // Before a pending batch is resumed: the list as read from the list file.
    // When the marker names its first item and that item's output was put in
    // place, the output joins the saved list and the item is dropped. When
    // the output was not, the batch ended abnormally while developing it:
    // the first time it stays first (`retried`), with a marker that carries
    // the count to the resumed batch; at the second abnormal end in a row,
    // or when a crash was noted on it, it is dropped (`abandoned`, `crashed`
    // saying why). A dropped item leaves the list file rewritten. The
    // developing marker goes, with the temporary file of an output that was
    // not finished.
    struct Recovery {
        std::vector<std::string> pending;
        std::optional<std::string> abandoned;
        bool crashed = false;
        std::optional<std::string> retried;
    };
    Recovery recover(std::vector<std::string> list);
    // Removes the list file and the marker (the batch is forgotten).
    void forget();

    const std::string& listFile() const { return listFile_; }
    const std::string& savedFile() const { return savedFile_; }
    const std::string& markerFile() const { return markerFile_; }

    // An XML property list of one array of paths, written to a temporary name
    // and renamed into place; false when it could not be written.
    static bool writePathList(const std::string& path, const std::vector<std::string>& paths);
    static bool writeMarker(const std::string& path, const BatchMarker& marker);
    static std::string markerText(const BatchMarker& marker);
    static std::optional<BatchMarker> readMarker(const std::string& path);

private:
    // Removes the marker and, for an output that never got into place, the
    // writer's temporary files beside it.
    void dropMarker(const std::optional<BatchMarker>& marker, bool written);
    void appendSaved(const std::string& destination);
    // Writes the marker of the item being developed, and arms the note a
    // crash leaves in it.
    void markDeveloping(const BatchMarker& marker);

    std::string listFile_, savedFile_, markerFile_;
    bool listed_ = false;
    std::vector<std::string> remaining_;
    std::vector<std::string> saved_;
    std::string current_;  // the item of the marker
    std::size_t currentAbnormalEnds_ = 0;
    // An item tried again after abnormal ends, and how many.
    std::string retried_;
    std::size_t retriedAbnormalEnds_ = 0;
};

}  // namespace dvk
