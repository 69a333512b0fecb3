#include "app/batch/batch_report.h"

#include <libraw/libraw.h>

#include "pipeline/load/load_errors.h"
#include "pipeline/load/raw_probe.h"

namespace dvk {

namespace {

std::string files(std::size_t n) { return n == 1 ? "1 file" : std::to_string(n) + " files"; }

void append_list(std::string& text, const std::string& heading, const std::vector<BatchNote>& notes,
                 std::size_t shown) {
    if (notes.empty()) return;
    if (!text.empty()) text += "\n\n";
    text += heading + ":";
    for (std::size_t i = 0; i < notes.size() && i < shown; ++i) text += "\n" + notes[i].file + ": " + notes[i].text;
    if (notes.size() > shown) text += "\n... and " + std::to_string(notes.size() - shown) + " more (listed in the log)";
}

}  // namespace

std::string unreadableFileReason(const std::string& path) {
    // The first reading's answer (the probe's, kept from the identification).
    const int code = identify_raw_file(path).refusal();
    return code != 0 ? load_error_reason(code) : load_error_reason(LIBRAW_FILE_UNSUPPORTED);
}

std::string loadFailureReason(int code) { return load_error_reason(code); }

std::string batchEndText(const BatchCounts& c) {
    std::string text = "Scanned " + files(c.scanned) + ": " + std::to_string(c.written) + " written";
    if (c.notWritten) text += ", " + std::to_string(c.notWritten) + " not written";
    if (c.left) text += ", " + std::to_string(c.left);
    if (c.left) text += c.postponed ? " left for the next start" : " not converted (cancelled)";
    return text;
}

void BatchReport::notWritten(std::string file, std::string reason) {
    notWritten_.push_back({std::move(file), std::move(reason)});
}

void BatchReport::standIn(std::string file, std::string what) { standIns_.push_back({std::move(file), std::move(what)}); }

std::string BatchReport::text(std::size_t shown) const {
    std::string text;
    append_list(text, files(notWritten_.size()) + (notWritten_.size() == 1 ? " was" : " were") + " not written",
                notWritten_, shown);
    append_list(text, files(standIns_.size()) + (standIns_.size() == 1 ? " was" : " were") +
                          " developed with a stand-in",
                standIns_, shown);
    return text;
}

}  // namespace dvk
