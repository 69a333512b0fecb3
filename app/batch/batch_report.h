// What a batch did not do as asked, said at its end: every file it did not
// write, each with its reason, and every file it developed with a stand-in
// for what its settings asked (a camera profile that cannot be read), with
// what it used. Also why a file cannot be taken, in the system's words where
// it has them.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace dvk {

// Why `path` is not a raw file a batch can take: the system's reason when it
// cannot be reached ("No such file or directory", "Permission denied"), "a
// folder, not a file", "not a regular file", "the file could not be read
// safely" (its first reading crashed), else "not a raw file of a known
// camera" (load_error_reason of its first reading).
std::string unreadableFileReason(const std::string& path);
// Why loading failed, from the loader's code (load_error_reason).
std::string loadFailureReason(int code);

// What a batch did, for the window it leaves: "Scanned 6 files: 6 written",
// then ", 1 not written" and the files it did not come to: ", 3 left for the
// next start" (postponed) or ", 3 not converted (cancelled)".
struct BatchCounts {
    std::size_t scanned = 0;     // the files the batch was given
    std::size_t written = 0;
    std::size_t notWritten = 0;  // named in the report
    std::size_t left = 0;        // not come to
    bool postponed = false;      // the files left are kept for the next start
};
std::string batchEndText(const BatchCounts& counts);

// The reasons of a file a resumed batch does not take up again: it was being
// developed at two abnormal ends of the batch in a row (killed, crashed), or
// the program crashed while developing it.
inline constexpr const char* kAbandonedReason =
    "the batch ended abnormally (killed or crashed) twice in a row while developing it; it is not taken up again";
inline constexpr const char* kCrashedReason = "the program crashed while developing it; it is not taken up again";

struct BatchNote {
    std::string file;
    std::string text;  // the reason, or what stood in
};

class BatchReport {
public:
    void notWritten(std::string file, std::string reason);
    void standIn(std::string file, std::string what);
    bool empty() const { return notWritten_.empty() && standIns_.empty(); }
    const std::vector<BatchNote>& notWrittenFiles() const { return notWritten_; }
    const std::vector<BatchNote>& standInFiles() const { return standIns_; }
    // "2 files were not written:\nFILE: REASON\n...", then after a blank line
    // "1 file was developed with a stand-in:\nFILE: WHAT"; each list names
    // its first `shown` files, then "... and N more (listed in the log)".
    std::string text(std::size_t shown = std::numeric_limits<std::size_t>::max()) const;

private:
    std::vector<BatchNote> notWritten_, standIns_;
};

}  // namespace dvk
